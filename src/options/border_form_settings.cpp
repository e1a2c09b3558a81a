// The options window's values in the settings file: six keys of the "Settings"
// section, read once at start and written at every close.
#include <QCheckBox>

#include "base/paths.h"
#include "options/border_form.h"
#include "options/color_swatch.h"
#include "options/number_box.h"
#include "options/settings_file.h"
#include "platform/atomic_file.h"

namespace qel {

namespace {

// What a first start without a settings file gives.
constexpr std::int32_t kDefaultFrameColor = 0xFFFFFF;
constexpr std::int32_t kDefaultBorderColor = 0x808080;
constexpr std::int32_t kDefaultBorderWidth = 10;
constexpr std::int32_t kDefaultFilter = 5;
constexpr bool kDefaultSharpen = true;
constexpr bool kDefaultOverWrite = false;

}  // namespace

void TBorderForm::LoadSettings() {
  const TIniFile ini(settings_.path);
  FColor->SetColor(TColor(ini.ReadInteger(kSettingsSection, "FrameColor", kDefaultFrameColor)));
  BColor->SetColor(TColor(ini.ReadInteger(kSettingsSection, "BorderColor", kDefaultBorderColor)));
  SpinEdit1->SetValue(ini.ReadInteger(kSettingsSection, "BorderWidth", kDefaultBorderWidth));
  SetFilterIndex(ini.ReadInteger(kSettingsSection, "Filter", kDefaultFilter));
  SharpBx->setChecked(ini.ReadBool(kSettingsSection, "Sharpen", kDefaultSharpen));
  OWBx->setChecked(ini.ReadBool(kSettingsSection, "OverWrite", kDefaultOverWrite));
}

void TBorderForm::SaveSettings() {
  if (!UsesSettingsFile()) return;
  // Read afresh, so that whatever else the file holds now is kept.
  TIniFile ini(settings_.path);
  ini.WriteInteger(kSettingsSection, "FrameColor", std::int32_t(FColor->Color()));
  ini.WriteInteger(kSettingsSection, "BorderColor", std::int32_t(BColor->Color()));
  ini.WriteInteger(kSettingsSection, "BorderWidth", SpinEdit1->ClampedValue());
  ini.WriteInteger(kSettingsSection, "Filter", FilterIndex());
  ini.WriteBool(kSettingsSection, "Sharpen", SharpBx->isChecked());
  ini.WriteBool(kSettingsSection, "OverWrite", OWBx->isChecked());
  // The configuration folder is made on the first write; when that fails, the write
  // reports it.
  if (settings_.in_config_folder) MakeFolders(FolderOf(settings_.path), 0700);
  ini.UpdateFile();
}

}  // namespace qel
