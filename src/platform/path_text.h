// File paths between Qt's text and the byte strings the file system takes.
#pragma once

#include <QFile>
#include <QString>
#include <string>

namespace qel {

inline std::string PathFromQString(const QString& text) {
  return QFile::encodeName(text).toStdString();
}
inline QString QStringFromPath(const std::string& path) {
  return QFile::decodeName(QByteArray(path.data(), qsizetype(path.size())));
}

}  // namespace qel
