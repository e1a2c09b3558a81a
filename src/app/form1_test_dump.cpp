// A window for end-to-end tests: with QEL_TEST_DUMP naming a file, the picture is
// written there after each command, so that a script driving the window through the
// display server can read back what the window holds.
#include <QSaveFile>

#include "app/form1.h"
#include "imaging/stream.h"
#include "output/bmp_writer.h"

namespace qel {

void TForm1::DumpPictureForTests() const {
  const QString path = qEnvironmentVariable("QEL_TEST_DUMP");
  if (path.isEmpty()) return;
  std::vector<std::uint8_t> bytes;
  if (!document_.Current().Empty()) {
    TMemoryStream stream;
    WriteBmp(document_.Current(), stream);
    bytes = stream.TakeBytes();
  }
  // Whole or not at all: the reader never sees half a file.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return;
  if (file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) == qint64(bytes.size()))
    file.commit();
}

}  // namespace qel
