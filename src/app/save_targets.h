// Where "Save", "Save as...." and "Send to email client" write the picture.
#pragma once

#include <string>
#include <string_view>

namespace qel {

// A file name whose extension occurs in this text is written in place by "Save".
inline constexpr std::string_view kWritableExtensions = ".jpg.bmp.gif.png.emf.jp2.tga.webp";
// The save dialog's filter, in the "description|patterns|..." form.
inline constexpr std::string_view kSavePictureFilter =
    "Graphic Files |*.jpg;*.bmp;*.gif;*.png;*.emf;*.jp2;*.tga;*.webp|JPEG Image (*.jpg)|*.jpg|"
    "Windows Bitmap (*.bmp)|*.bmp|GIF Image (*.gif)|*.gif|PNG Image (*.png)|*.png|"
    "Enhamced Metafile (*.emf)|*.emf|JPEG2000 (*.jp2)|*.jp2|Targa Image (*.tga)|*.tga|"
    "WebP Image (*.webp)|*.webp";
inline constexpr std::string_view kSaveDefaultExtension = "jpg";
// The file a picture without a file of its own is mailed as, in the temporary folder.
inline constexpr std::string_view kMailFileName = "QEL.jpg";

// Whether the path's extension (dot included) occurs in kWritableExtensions, compared
// without regard to case. A path without extension never does.
bool HasWritableExtension(std::string_view path);

// The folder part of a path, without the trailing '/'; empty for a bare name.
std::string FolderPart(std::string_view path);

// The path with its extension replaced by ext (appended when it has none).
std::string ChangeFileExt(std::string_view path, std::string_view ext);

struct SaveTarget {
  std::string path;
  bool overwrite = false;
  bool in_temporary_folder = false;
};

// The file "Send to email client" writes before the hand-off: QEL.jpg in the temporary
// folder (replaced) for a picture no file holds; the current file itself, with the
// "Overwrite files" flag, when its format is one the writer knows; else the current
// file's name with the extension .jpg, never replacing a file.
SaveTarget MailTarget(const std::string& current_file, bool overwrite_files, const std::string& temp_folder);

// Makes room for a file in a shared folder: a symbolic link in the path's place is
// removed (never what it points to), so that writing cannot be steered elsewhere.
// Fails with the writer's create-file error when the link cannot be removed.
void RemoveLinkInTheWay(const std::string& path);

}  // namespace qel
