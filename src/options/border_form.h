// The options window: border colours and width, the overwrite flag, the resampling
// filter and sharpen-after-resize, and the "Resize to...." dialog that sets a new size
// in pixels, by a standard size or by a percentage, keeping the picture's proportions.
// Its values reach the main window when it is created and each time it closes; the
// settings file keeps them between runs.
#pragma once

#include <QDialog>
#include <string>

#include "imaging/picture.h"
#include "options/settings_file.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace qel {

class OptionsHost;
class TColorSwatch;
class TNumberBox;

inline constexpr const char* kSettingsSection = "Settings";

class TBorderForm : public QDialog {
  Q_OBJECT

 public:
  // Creates the window hidden, owned by parent (the main window). Unless the
  // executable's path marks a removable drive, the settings file is read into the
  // controls; then the options are pushed into the host.
  TBorderForm(OptionsHost& host, std::string executable_path, QWidget* parent);

  // The settings file's path (beside the executable, extension ".dat", or in the
  // user's configuration folder; FindSettingsLocation).
  const std::string& SettingsFileName() const { return settings_.path; }

  // Shows the window modally and returns when it has closed.
  void ShowModal();

  // --- Handlers ---
  void FormCreate();
  void FormShow();
  void FormClose();
  // Copies the controls' values into the main window's options.
  void PushOptions();
  void WBxChange();
  void HBxChange();
  void PbxChange();
  void ComboBox1Select(int index);
  void ComboBox2Select(int index);
  void Button1Click();
  void FColorMouseDown(TColorSwatch* swatch, Qt::MouseButton button);
  void FColorMouseMove(TColorSwatch* swatch, QPoint global_pos);
  void FColorMouseUp(TColorSwatch* swatch);
  // The main window's "Resize to....": shows the window when there is a picture.
  void Resizeto1Click();
  // The main window's "Overwrite files" switch: the box follows the menu's check.
  void OWFilesClick();

  // The settings file into the controls, and the controls into the settings file.
  void LoadSettings();
  void SaveSettings();

  // The filter list's choice: the index of the item its text names, -1 for none.
  int FilterIndex() const;

  // --- State ---
  int ShownWidth = 0;
  int ShownHeight = 0;
  bool Picking = false;

  // --- Controls, named as in the window ---
  QGroupBox* GroupBox1 = nullptr;
  QLabel* Label2 = nullptr;
  TColorSwatch* FColor = nullptr;
  QLabel* Label3 = nullptr;
  TColorSwatch* BColor = nullptr;
  QLabel* Label1 = nullptr;
  TNumberBox* SpinEdit1 = nullptr;
  QCheckBox* OWBx = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  QLabel* Label4 = nullptr;
  QComboBox* FilterBx = nullptr;
  QLabel* Label10 = nullptr;
  QLabel* Label6 = nullptr;
  TNumberBox* WBx = nullptr;
  QLabel* Label7 = nullptr;
  TNumberBox* HBx = nullptr;
  QLabel* Label11 = nullptr;
  QLabel* Label12 = nullptr;
  QComboBox* ComboBox1 = nullptr;
  QLabel* Label13 = nullptr;
  QComboBox* ComboBox2 = nullptr;
  QLabel* Label9 = nullptr;
  TNumberBox* Pbx = nullptr;
  QLabel* Label8 = nullptr;
  QCheckBox* SharpBx = nullptr;
  QGroupBox* GroupBox3 = nullptr;
  QLabel* Label5 = nullptr;
  QPushButton* Button1 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  // Every way of closing (the close button, Esc, "Resize") ends here.
  void done(int result) override;

 private:
  void BuildControls();
  void SetFilterIndex(int index);
  bool UsesSettingsFile() const;

  OptionsHost& main_;
  std::string executable_path_;
  SettingsLocation settings_;
};

}  // namespace qel
