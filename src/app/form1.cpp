#include "app/form1.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <exception>
#include <new>

#include "app/command_table.h"
#include "app/image_rect.h"
#include "app/progress_bar.h"
#include "app/zoom_levels.h"
#include "imaging/picture_container.h"
#include "platform/path_text.h"

namespace qel {

TForm1::TForm1(Platform platform, std::optional<std::string> start_file, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), platform_(std::move(platform)) {
  setObjectName("Form1");
  setWindowTitle(kApplicationTitle);
  QPalette colors = palette();
  colors.setColor(QPalette::Window, QColor(RedOf(kWindowColor), GreenOf(kWindowColor), BlueOf(kWindowColor)));
  setPalette(colors);
  setAutoFillBackground(true);
  setAcceptDrops(true);
  setFocusPolicy(Qt::StrongFocus);

  scroll_ = new QScrollArea(this);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setFocusPolicy(Qt::NoFocus);
  scroll_->setWidgetResizable(false);
  // A picture smaller than the window sits in its middle.
  scroll_->setAlignment(Qt::AlignCenter);
  scroll_->viewport()->setAutoFillBackground(true);
  scroll_->viewport()->setBackgroundRole(QPalette::Window);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  img_ = new TImageRect;
  img_->setObjectName("Img");
  img_->SetPicture(&document_.Current());
  img_->SetResizeOptions(ResamplerFilter(document_.Options.Filter), document_.Options.Sharpen);
  scroll_->setWidget(img_);  // the scroll area owns the control from here on
  connect(img_, &TImageRect::MouseDown, this, &TForm1::ImgMouseDown);
  connect(img_, &TImageRect::MouseMove, this, &TForm1::ImgMouseMove);
  connect(img_, &TImageRect::MouseUp, this, &TForm1::ImgMouseUp);
  connect(img_, &TImageRect::DoubleClick, this, &TForm1::ImgDblClick);
  // A drag over a picture larger than the window moves it; unzoomed, the scroll bars do.
  connect(img_, &TImageRect::DragPan, this, [this](QPoint distance) {
    scroll_->horizontalScrollBar()->setValue(scroll_->horizontalScrollBar()->value() - distance.x());
    scroll_->verticalScrollBar()->setValue(scroll_->verticalScrollBar()->value() - distance.y());
  });

  progress_bar_ = new TProgressBar(this);  // above the scroll area, hidden until needed

  BuildMenu();
  BuildHandlerTable();
  ConnectSaveHandlers();
  SetUpShellIntegration();
  ConnectPictureCommands();
  ConnectCaptureCommands();
  ConnectOptionsCommands();

  // The client area starts at 300 x 225, centred on the screen.
  resize(kStartClientWidth, kStartClientHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect available = screen->availableGeometry();
    move(available.x() + (available.width() - kStartClientWidth) / 2,
         available.y() + (available.height() - kStartClientHeight) / 2);
  }
  LayoutChildren();

  if (start_file) Guarded([&] { LoadImage(*start_file); });
}

TForm1::~TForm1() {
  // The child widgets outlive the document by a moment (Qt deletes them after this
  // object's members): the drawing surface must not hold on to the picture.
  img_->SetPicture(nullptr);
}

void TForm1::Guarded(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::bad_alloc&) {
    ShowMessage("Out of memory.");
  } catch (const std::exception& error) {
    ShowMessage(error.what());
  } catch (...) {
    ShowMessage("An unknown error occurred.");
  }
}

void TForm1::ShowMessage(const std::string& text) {
  // The message box must not take an error of its own out through the event loop.
  try {
    platform_.messages->Show(this, text);
  } catch (...) {
  }
}

void TForm1::SetOptionValues(const TOptionValues& values, bool overwrite_files) {
  document_.Options = values;
  img_->SetResizeOptions(ResamplerFilter(values.Filter), values.Sharpen);
  if (QAction* item = Item("OWFiles")) item->setChecked(overwrite_files);
}

void TForm1::LayoutChildren() {
  scroll_->setGeometry(rect());
  // While fitting or zoomed, the control fills the client area (no scroll bar is ever
  // shown then).
  if (img_->Aligned() || img_->Zoomed()) img_->setGeometry(0, 0, width(), height());
}

void TForm1::ApplyViewLayout() {
  const bool fills = img_->Aligned() || img_->Zoomed();
  const Qt::ScrollBarPolicy bars = fills ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
  scroll_->setHorizontalScrollBarPolicy(bars);
  scroll_->setVerticalScrollBarPolicy(bars);
  if (!fills) img_->SetAligned(false);
  LayoutChildren();
}

void TForm1::EndZoom() {
  if (!img_->Zoomed()) return;
  img_->ResetZoom();
  ApplyViewLayout();
}

void TForm1::ShowNewPicture(Picture&& picture) {
  document_.Current() = std::move(picture);
  if (document_.Current().Empty()) document_.Current().Clear();
  EndZoom();
  PictureChanged();
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayoutChildren();
  Guarded([this] { FormResize(); });
}

QString TForm1::TitleText() const {
  const TRect d = img_->DrawRect();
  QString title = QStringLiteral("%1 x %2 pix [%3] (%4)")
                      .arg(d.right)
                      .arg(d.bottom)
                      .arg(qsizetype(document_.FileList.size()))
                      .arg(QStringFromPath(ExtractFileName(document_.CurrentFileName)));
  // Only a view the user zoomed says so: the fit keeps the title as it always was.
  if (img_->Zoomed()) title += QStringLiteral(" - %1%").arg(ZoomPercent(img_->ViewScale()));
  return title;
}

void TForm1::FormResize() {
  setWindowTitle(TitleText());
  if (QAction* reload = Item("Reload1")) reload->setEnabled(!document_.CurrentFileName.empty());
}

void TForm1::PopupMenu1Popup() {
  EnablingState state;
  state.picture_empty = document_.Current().Empty();
  state.has_current_file = !document_.CurrentFileName.empty();
  state.clipboard_has_bitmap = platform_.clipboard->HasBitmap();
  state.file_count = int(std::min<std::size_t>(document_.FileList.size(), 1 << 30));
  for (const CommandItem& item : CommandTable()) {
    if (!item.parent.empty()) continue;
    if (QAction* action = Item(item.name)) action->setEnabled(EnabledByRule(item, state));
  }
}

bool TForm1::HasScrollBars() const {
  return scroll_->horizontalScrollBar()->isVisible() || scroll_->verticalScrollBar()->isVisible();
}

QSize TForm1::ClientSize() const {
  return scroll_->viewport()->size();
}

QPoint TForm1::ControlShift() const {
  return img_->mapTo(scroll_->viewport(), img_->WidgetPoint({0, 0}));
}

void TForm1::PictureChanged() {
  img_->PictureChanged();
}

void TForm1::Fittowindow1Click() {
  const bool fit = Checked("Fittowindow1");
  // The switch brings back the view it names, also from a zoomed one.
  img_->ResetZoom();
  img_->SetProportional(fit);
  img_->SetAligned(fit);
  ApplyViewLayout();
  FormResize();
}

void TForm1::Allowoversize1Click() {
  img_->SetStretch(Checked("Allowoversize1"));
}

void TForm1::EXIT1Click() {
  close();
}

}  // namespace qel
