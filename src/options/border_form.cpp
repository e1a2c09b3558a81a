#include "options/border_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "imaging/picture_commands.h"
#include "imaging/rounding.h"
#include "options/color_swatch.h"
#include "options/number_box.h"
#include "options/options_host.h"
#include "options/settings_file.h"

namespace qel {

namespace {

constexpr std::array<const char*, 7> kFilterNames = {"Box",     "Triangle", "Hermite", "Bell",
                                                     "BSpline", "Lanczos3", "Mitchell"};
constexpr std::array<int, 10> kStandardSizes = {480, 640, 600, 720, 768, 800, 960, 1024, 1080, 1920};

constexpr TColor kWhite = 0xFFFFFF;
constexpr TColor kGrey = 0x808080;
constexpr int kMargin = 5;

QFont OptionsFont() {
  QFont font;
  if (QFontDatabase::families().contains(QStringLiteral("Arial Unicode MS")))
    font = QFont(QStringLiteral("Arial Unicode MS"));
  else
    font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPixelSize(12);
  return font;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, bool maroon = false) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setObjectName(name);
  if (maroon) {
    QPalette colors = label->palette();
    colors.setColor(QPalette::WindowText, QColor(128, 0, 0));
    label->setPalette(colors);
  }
  return label;
}

TNumberBox* MakeNumberBox(QWidget* parent, const char* name, int minimum, int maximum, int value) {
  auto* box = new TNumberBox(minimum, maximum, value, parent);
  box->setObjectName(name);
  return box;
}

QComboBox* MakeSizeList(QWidget* parent, const char* name) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  for (const int size : kStandardSizes) list->addItem(QString::number(size));
  list->setCurrentIndex(0);
  return list;
}

// side x (numerator / denominator) in double precision, rounded half to even; the
// result is limited long before it could leave the integers.
std::int64_t Proportional(int side, int numerator, int denominator) {
  const double ratio = double(numerator) / double(denominator);
  const double value = std::clamp(double(side) * ratio, -1e15, 1e15);
  return RoundHalfEven(value);
}

}  // namespace

TBorderForm::TBorderForm(OptionsHost& host, std::string executable_path, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      main_(host),
      executable_path_(std::move(executable_path)),
      settings_(FindSettingsLocation(executable_path_)) {
  setObjectName("BorderForm");
  setWindowTitle(QStringLiteral("Options"));
  setFont(OptionsFont());
  BuildControls();
  FormCreate();
}

void TBorderForm::BuildControls() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  // Borders and files. A doubled ampersand shows as one.
  GroupBox1 = new QGroupBox(QStringLiteral("Borders && Files"), this);
  GroupBox1->setObjectName("GroupBox1");
  auto* borders = new QGridLayout(GroupBox1);
  Label2 = MakeLabel(GroupBox1, "Label2", "Frame color");
  FColor = new TColorSwatch(kWhite, GroupBox1);
  FColor->setObjectName("FColor");
  Label3 = MakeLabel(GroupBox1, "Label3", "Line color");
  BColor = new TColorSwatch(kGrey, GroupBox1);
  BColor->setObjectName("BColor");
  Label1 = MakeLabel(GroupBox1, "Label1", "Frame width");
  SpinEdit1 = MakeNumberBox(GroupBox1, "SpinEdit1", commands::kMinBorderWidth, commands::kMaxBorderWidth,
                            commands::kDefaultBorderWidth);
  OWBx = new QCheckBox(QStringLiteral("Overwrite files"), GroupBox1);
  OWBx->setObjectName("OWBx");
  borders->addWidget(Label2, 0, 0);
  borders->addWidget(FColor, 0, 1);
  borders->addWidget(Label3, 1, 0);
  borders->addWidget(BColor, 1, 1);
  borders->addWidget(Label1, 2, 0);
  borders->addWidget(SpinEdit1, 2, 1);
  borders->addWidget(OWBx, 3, 0, 1, 2);
  layout->addWidget(GroupBox1);

  // Resizing.
  GroupBox2 = new QGroupBox(QStringLiteral("Resizing options"), this);
  GroupBox2->setObjectName("GroupBox2");
  auto* resizing = new QGridLayout(GroupBox2);
  Label4 = MakeLabel(GroupBox2, "Label4", "Resampling filter");
  FilterBx = new QComboBox(GroupBox2);
  FilterBx->setObjectName("FilterBx");
  FilterBx->setEditable(true);
  FilterBx->setInsertPolicy(QComboBox::NoInsert);
  for (const char* name : kFilterNames) FilterBx->addItem(QString::fromUtf8(name));
  FilterBx->setCurrentIndex(5);
  Label10 = MakeLabel(GroupBox2, "Label10", "Set size in pixels", true);
  Label6 = MakeLabel(GroupBox2, "Label6", "Width");
  WBx = MakeNumberBox(GroupBox2, "WBx", 1, 5000, 1);
  Label7 = MakeLabel(GroupBox2, "Label7", "Height");
  HBx = MakeNumberBox(GroupBox2, "HBx", 1, 5000, 1);
  Label11 = MakeLabel(GroupBox2, "Label11", "Set size as standard", true);
  Label12 = MakeLabel(GroupBox2, "Label12", "Width");
  ComboBox1 = MakeSizeList(GroupBox2, "ComboBox1");
  Label13 = MakeLabel(GroupBox2, "Label13", "Height");
  ComboBox2 = MakeSizeList(GroupBox2, "ComboBox2");
  Label9 = MakeLabel(GroupBox2, "Label9", "Set size as percentage");
  Pbx = MakeNumberBox(GroupBox2, "Pbx", 1, 500, 100);
  Label8 = MakeLabel(GroupBox2, "Label8", "%");
  SharpBx = new QCheckBox(QStringLiteral("Sharpen after resize"), GroupBox2);
  SharpBx->setObjectName("SharpBx");
  int row = 0;
  resizing->addWidget(Label4, row, 0, 1, 2);
  resizing->addWidget(FilterBx, row++, 2, 1, 2);
  resizing->addWidget(Label10, row++, 0, 1, 4);
  resizing->addWidget(Label6, row, 0);
  resizing->addWidget(WBx, row, 1);
  resizing->addWidget(Label7, row, 2);
  resizing->addWidget(HBx, row++, 3);
  resizing->addWidget(Label11, row++, 0, 1, 4);
  resizing->addWidget(Label12, row, 0);
  resizing->addWidget(ComboBox1, row, 1);
  resizing->addWidget(Label13, row, 2);
  resizing->addWidget(ComboBox2, row++, 3);
  auto* percentage = new QHBoxLayout;
  percentage->addWidget(Label9);
  percentage->addWidget(Pbx);
  percentage->addWidget(Label8);
  percentage->addStretch();
  resizing->addLayout(percentage, row++, 0, 1, 4);
  resizing->addWidget(SharpBx, row++, 0, 1, 4);
  layout->addWidget(GroupBox2);

  // The current size and the button.
  GroupBox3 = new QGroupBox(this);
  GroupBox3->setObjectName("GroupBox3");
  auto* resize = new QHBoxLayout(GroupBox3);
  Label5 = MakeLabel(GroupBox3, "Label5", "Current size ", true);
  Button1 = new QPushButton(QStringLiteral("Resize"), GroupBox3);
  Button1->setObjectName("Button1");
  Button1->setAutoDefault(false);
  resize->addWidget(Label5, 1);
  resize->addWidget(Button1);
  layout->addWidget(GroupBox3);

  setTabOrder(SpinEdit1, OWBx);
  setTabOrder(OWBx, FilterBx);
  setTabOrder(FilterBx, SharpBx);
  setTabOrder(SharpBx, WBx);
  setTabOrder(WBx, HBx);
  setTabOrder(HBx, Pbx);
  setTabOrder(Pbx, ComboBox1);
  setTabOrder(ComboBox1, ComboBox2);
  setTabOrder(ComboBox2, Button1);

  connect(WBx, &TNumberBox::Changed, this, [this] { main_.Guarded([this] { WBxChange(); }); });
  connect(HBx, &TNumberBox::Changed, this, [this] { main_.Guarded([this] { HBxChange(); }); });
  connect(Pbx, &TNumberBox::Changed, this, [this] { main_.Guarded([this] { PbxChange(); }); });
  connect(ComboBox1, &QComboBox::activated, this,
          [this](int index) { main_.Guarded([&] { ComboBox1Select(index); }); });
  connect(ComboBox2, &QComboBox::activated, this,
          [this](int index) { main_.Guarded([&] { ComboBox2Select(index); }); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  for (TColorSwatch* swatch : {FColor, BColor}) {
    connect(swatch, &TColorSwatch::MouseDown, this, [this, swatch](Qt::MouseButton button, QPoint) {
      main_.Guarded([&] { FColorMouseDown(swatch, button); });
    });
    connect(swatch, &TColorSwatch::MouseMove, this,
            [this, swatch](QPoint at) { main_.Guarded([&] { FColorMouseMove(swatch, at); }); });
    connect(swatch, &TColorSwatch::MouseUp, this, [this, swatch](Qt::MouseButton) { FColorMouseUp(swatch); });
  }
}

void TBorderForm::ShowModal() {
  exec();
}

void TBorderForm::Resizeto1Click() {
  if (main_.CurrentPicture().Empty()) return;
  ShowModal();
}

void TBorderForm::OWFilesClick() {
  OWBx->setChecked(main_.OverwriteFiles());
}

bool TBorderForm::UsesSettingsFile() const {
  return !IsUsbPath(executable_path_);
}

void TBorderForm::FormCreate() {
  if (UsesSettingsFile()) LoadSettings();
  PushOptions();
}

void TBorderForm::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    main_.Guarded([this] { FormShow(); });
    if (!focusWidget()) SpinEdit1->setFocus();
  }
  QDialog::showEvent(event);
}

void TBorderForm::FormShow() {
  const Picture& picture = main_.CurrentPicture();
  ShownWidth = picture.Empty() ? 0 : picture.Width();
  ShownHeight = picture.Empty() ? 0 : picture.Height();
  WBx->SetValue(ShownWidth);
  HBx->SetValue(ShownHeight);
  Pbx->SetValue(100);
  Label5->setText(QStringLiteral("Current size: %1 x %2 pixs").arg(ShownWidth).arg(ShownHeight));
}

void TBorderForm::done(int result) {
  if (isVisible()) FormClose();
  QDialog::done(result);
}

void TBorderForm::FormClose() {
  PushOptions();
  main_.Guarded([this] { SaveSettings(); });
}

void TBorderForm::PushOptions() {
  TOptionValues values;
  values.FrameColor = FColor->Color();
  values.BorderColor = BColor->Color();
  values.BorderWidth = SpinEdit1->ClampedValue();
  values.Sharpen = SharpBx->isChecked();
  values.Filter = FilterIndex();
  main_.SetOptionValues(values, OWBx->isChecked());
}

int TBorderForm::FilterIndex() const {
  if (FilterBx->currentText().isEmpty()) return -1;
  return FilterBx->findText(FilterBx->currentText(), Qt::MatchFixedString);
}

void TBorderForm::SetFilterIndex(int index) {
  FilterBx->setCurrentIndex(index >= 0 && index < FilterBx->count() ? index : -1);
}

void TBorderForm::WBxChange() {
  if (ShownWidth <= 0 || !WBx->hasFocus()) return;
  const Picture& picture = main_.CurrentPicture();
  if (picture.Empty()) return;
  HBx->SetValue(HBx->Clamp(Proportional(WBx->Value(), picture.Height(), picture.Width())));
}

void TBorderForm::HBxChange() {
  if (ShownHeight <= 0 || !HBx->hasFocus()) return;
  const Picture& picture = main_.CurrentPicture();
  if (picture.Empty()) return;
  WBx->SetValue(WBx->Clamp(Proportional(HBx->Value(), picture.Width(), picture.Height())));
}

void TBorderForm::PbxChange() {
  if (ShownWidth <= 0 || ShownHeight <= 0) return;
  const int percent = Pbx->Value();
  WBx->SetValue(MulDiv(ShownWidth, percent, 100));
  HBx->SetValue(MulDiv(ShownHeight, percent, 100));
}

void TBorderForm::ComboBox1Select(int index) {
  if (index < 0 || index >= int(kStandardSizes.size())) return;
  WBx->SetValue(kStandardSizes[std::size_t(index)]);
  const Picture& picture = main_.CurrentPicture();
  if (picture.Empty()) return;
  HBx->SetValue(HBx->Clamp(Proportional(WBx->ClampedValue(), picture.Height(), picture.Width())));
}

void TBorderForm::ComboBox2Select(int index) {
  if (index < 0 || index >= int(kStandardSizes.size())) return;
  HBx->SetValue(kStandardSizes[std::size_t(index)]);
  const Picture& picture = main_.CurrentPicture();
  if (picture.Empty()) return;
  WBx->SetValue(WBx->Clamp(Proportional(HBx->ClampedValue(), picture.Width(), picture.Height())));
}

void TBorderForm::Button1Click() {
  if (main_.CurrentPicture().Empty()) return;
  bool resized = false;
  main_.Guarded([&] {
    main_.ResizePictureTo(WBx->ClampedValue(), HBx->ClampedValue());
    resized = true;
  });
  // When the sharpen refused the resized picture the window stays open.
  if (resized) close();
}

void TBorderForm::FColorMouseDown(TColorSwatch* swatch, Qt::MouseButton button) {
  if (button == Qt::RightButton) {
    if (const std::optional<TColor> chosen = main_.GetPlatform().colors->ChooseColor(this, swatch->Color()))
      swatch->SetColor(*chosen);
  }
  Picking = button == Qt::LeftButton;
  picking_desktop_.reset();
  ScreenGrabber& screen = *main_.GetPlatform().screen;
  if (!Picking || screen.ReadsLive()) return;
  // One picture of the whole desktop for the drag; when the screen cannot be read the
  // message says so and nothing is picked.
  Picking = false;
  main_.Guarded([&] {
    const QScreen* display = QGuiApplication::primaryScreen();
    picking_desktop_area_ = display ? display->virtualGeometry() : QRect();
    picking_desktop_ = screen.Grab(picking_desktop_area_);
    Picking = true;
  });
}

void TBorderForm::FColorMouseMove(TColorSwatch* swatch, QPoint global_pos) {
  if (!Picking) return;
  if (picking_desktop_) {
    const QPoint at = global_pos - picking_desktop_area_.topLeft();
    if (picking_desktop_area_.contains(global_pos) && !picking_desktop_->Empty())
      swatch->SetColor(picking_desktop_->Pixel(at.x(), at.y()));
    return;
  }
  const Picture pixel = main_.GetPlatform().screen->Grab(QRect(global_pos, QSize(1, 1)));
  if (!pixel.Empty()) swatch->SetColor(pixel.Pixel(0, 0));
}

void TBorderForm::FColorMouseUp(TColorSwatch*) {
  Picking = false;
  picking_desktop_.reset();
}

}  // namespace qel
