// The viewer as the end-to-end tests run it: with QEL_TEST_DUMP naming a file, the
// picture is written there as BMP after each command (an empty file for an empty
// picture), so that a script driving the window through the display server can read
// back what the window holds.
#include <QSaveFile>
#include <cstdint>
#include <vector>

#include "app/form1.h"
#include "app/viewer_main.h"
#include "imaging/stream.h"
#include "output/bmp_writer.h"

namespace {

void DumpPicture(const QString& path, const qel::Picture& picture) {
  std::vector<std::uint8_t> bytes;
  if (!picture.Empty()) {
    qel::TMemoryStream stream;
    qel::WriteBmp(picture, stream);
    bytes = stream.TakeBytes();
  }
  // Whole or not at all: the reader never sees half a file.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return;
  if (file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) == qint64(bytes.size()))
    file.commit();
}

}  // namespace

int main(int argc, char** argv) {
  return qel::RunViewer(argc, argv, [](qel::TForm1& form) {
    const QString path = qEnvironmentVariable("QEL_TEST_DUMP");
    if (path.isEmpty()) return;
    form.SetCommandObserver([path](const qel::Picture& picture) { DumpPicture(path, picture); });
  });
}
