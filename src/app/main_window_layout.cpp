// The controls of the main window, where they sit (in twips, from their container's top-left
// corner) and how they look when the program starts.

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <cmath>

#include "app/accessible_names.h"
#include "app/main_window.h"
#include "base/texts.h"
#include "scanner/plot_scale.h"
#include "scanner/plot_widget.h"

namespace kovrel {

namespace {

QString q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// --- Main window geometry, twips ---------------------------------------------------------------
constexpr int kFormWidth = 7335;
constexpr int kPlotLeft = 120;
constexpr int kPlotTop = 600;
constexpr int kPlotRight = kPlotLeft + kPlotWidthTwips;
constexpr int kPlotBottom = kPlotTop + kPlotHeightTwips;
// The lens-type panel slides up from the plot's bottom edge; it starts folded to this height.
constexpr int kPanelFoldedHeight = 15;
constexpr int kPictureSide = 900;  // the lens-type pictures
// The host link's label: beside "Auto", or the row under it for a text that does not fit there.
struct Place {
  int left, top, width, height;
};
constexpr Place kPortSlot{6160, 4020, 1040, 300}, kPortRow{5000, 4440, 2200, 780};

enum class Kind {
  Button,
  PictureButton,  // a button that shows a picture and no text
  Label,
  TextBox,
  CheckBox,
  Option,
  Frame,
  Shape,
  Round,
  Progress,
  Panel,
  Picture,
  Notice
};

struct ControlLayout {
  Control c;
  Kind kind;
  Control container;  // Form1 for controls placed on the window itself
  int left, top, width, height;
  std::string_view text;
  std::string_view toolTip;
};

// clang-format off
constexpr ControlLayout kLayout[] = {
  {Control::Text1, Kind::TextBox, Control::Form1, 120, 120, 7080, 375, texts::kInfoInitial, texts::kInfoToolTip},
  {Control::Picture1, Kind::Picture, Control::Form1, kPlotLeft, kPlotTop, kPlotWidthTwips, kPlotHeightTwips, {}, {}},
  {Control::llegirBtn, Kind::Button, Control::Form1, 5000, 600, 2200, 660, texts::kReadCaption, texts::kReadButton},
  {Control::interpola, Kind::Button, Control::Form1, 5000, 1380, 2200, 660, texts::kSendCaption, texts::kSendButton},
  {Control::antiHorari, Kind::Button, Control::Form1, 5000, 2160, 690, 600, {}, texts::kCounterClockwiseButton},
  {Control::mirallHoritzontal, Kind::Button, Control::Form1, 5755, 2160, 690, 600, {}, texts::kMirrorButton},
  {Control::Horari, Kind::Button, Control::Form1, 6510, 2160, 690, 600, {}, texts::kClockwiseButton},
  {Control::parada, Kind::Button, Control::Form1, 5000, 2880, 2200, 480, texts::kStopCaption, {}},
  {Control::cfg_btn, Kind::Button, Control::Form1, 5000, 3480, 1040, 420, texts::kConfigureButton, {}},
  {Control::sortirBtn, Kind::Button, Control::Form1, 6160, 3480, 1040, 420, texts::kExitCaption, {}},
  {Control::autochk, Kind::CheckBox, Control::Form1, 5000, 4020, 1040, 300, texts::kAuto, {}},
  {Control::port_oma_info_lbl, Kind::Label, Control::Form1, kPortSlot.left, kPortSlot.top, kPortSlot.width, kPortSlot.height, {}, {}},
  // General-offset panel, on the window itself and hidden until asked for.
  {Control::offsetTxt, Kind::TextBox, Control::Form1, 5000, 4440, 1040, 330, {}, {}},
  {Control::menys_offset, Kind::Button, Control::Form1, 6160, 4440, 500, 330, texts::kStepDown, {}},
  {Control::mes_offset, Kind::Button, Control::Form1, 6700, 4440, 500, 330, texts::kStepUp, {}},
  {Control::sortir_offset, Kind::Button, Control::Form1, 5000, 4860, 2200, 360, texts::kGeneralOffsetExit, {}},
  {Control::historialBtn, Kind::Button, Control::Form1, 5000, 5250, 2200, 360, texts::kHistoryCaption, texts::kHistoryButton},
  {Control::veri_instrument_txt, Kind::Label, Control::Form1, 900, 1200, 3135, 900, texts::kCalibrationNotice, {}},
  // Administrator notice, in place of the plot.
  {Control::info_vista, Kind::Notice, Control::Form1, kPlotLeft, kPlotTop, kPlotWidthTwips, 3600, texts::kAdminNotice, {}},
  {Control::inicio_adminBtn, Kind::Button, Control::Form1, 120, 4320, 2250, 450, texts::kContinue, {}},
  {Control::cancelar_adminBtn, Kind::Button, Control::Form1, 2565, 4320, 2250, 450, texts::kCancel, {}},
  {Control::ProgressBar1, Kind::Progress, Control::Form1, 120, 5655, 7080, 240, {}, {}},
  {Control::midesLbl, Kind::Label, Control::Form1, 120, 5925, 7080, 300, {}, {}},

  // Service panel.
  {Control::Frame1, Kind::Frame, Control::Form1, 120, 6285, 7080, 1995, texts::kServicePanelFrame, {}},
  {Control::Label10, Kind::Label, Control::Frame1, 120, 375, 480, 270, texts::kTemperatureLabel, {}},
  {Control::temp_actual, Kind::TextBox, Control::Frame1, 630, 345, 720, 315, texts::kPanelZero, {}},
  {Control::Label9, Kind::Label, Control::Frame1, 1470, 375, 900, 270, texts::kCompensationLabel, {}},
  {Control::polsos_temp, Kind::TextBox, Control::Frame1, 2370, 345, 600, 315, texts::kPanelZero, {}},
  {Control::CompSiNoChk, Kind::CheckBox, Control::Frame1, 3030, 360, 300, 285, {}, {}},
  {Control::Label8, Kind::Label, Control::Frame1, 3420, 375, 900, 270, texts::kRawTemperatureLabel, {}},
  {Control::AD_temp, Kind::TextBox, Control::Frame1, 4320, 345, 720, 315, texts::kPanelZero, {}},
  {Control::label20, Kind::Label, Control::Frame1, 5190, 375, 600, 270, texts::kSerialLabel, {}},
  {Control::serieLbl, Kind::Label, Control::Frame1, 5790, 375, 1200, 270, texts::kPanelZero, {}},
  {Control::noCapsaleraChk, Kind::CheckBox, Control::Frame1, 120, 840, 300, 285, {}, {}},
  {Control::Label3, Kind::Label, Control::Frame1, 420, 855, 1140, 270, texts::kNoHeaderLabel, {}},
  {Control::noMidesChk, Kind::CheckBox, Control::Frame1, 1620, 840, 300, 285, {}, {}},
  {Control::Label4, Kind::Label, Control::Frame1, 1920, 855, 1200, 270, texts::kSizesOnlyLabel, {}},
  {Control::calibraCentreChk, Kind::CheckBox, Control::Frame1, 3240, 840, 300, 285, {}, {}},
  {Control::Label6, Kind::Label, Control::Frame1, 3540, 855, 1500, 270, texts::kCalibrateTravelLabel, {}},
  {Control::ActualitzaDatoChk, Kind::CheckBox, Control::Frame1, 5160, 840, 300, 285, {}, {}},
  {Control::Label2, Kind::Label, Control::Frame1, 5460, 855, 1500, 270, texts::kUpdateValueLabel, {}},
  {Control::openCfgBtn, Kind::Button, Control::Frame1, 120, 1335, 1020, 420, texts::kConfigWindowButton, {}},
  {Control::CentEncBtn, Kind::Button, Control::Frame1, 1260, 1335, 1020, 420, texts::kEncoderButton, {}},
  {Control::PortEncEstatOpc, Kind::Option, Control::Frame1, 2400, 1410, 300, 285, {}, {}},
  {Control::CalibracioEncoderTxt, Kind::TextBox, Control::Frame1, 2730, 1380, 960, 315, texts::kEncoderCalibration, {}},
  {Control::monitorEncoderShp, Kind::Round, Control::Frame1, 3810, 1410, 285, 285, {}, {}},
  {Control::Shape2, Kind::Shape, Control::Frame1, 4320, 1335, 2640, 420, {}, {}},
  {Control::contadorLectures, Kind::Label, Control::Frame1, 4440, 1410, 2400, 270, texts::kJobCounterInitial, {}},

  // Lens-type and manual-offset panel: laid out for its open height of 1215 twips.
  {Control::Picture3, Kind::Panel, Control::Form1, kPlotLeft, kPlotBottom - kPanelFoldedHeight, kPlotWidthTwips,
   kPanelFoldedHeight, {}, {}},
  {Control::Image_fosca_gran, Kind::PictureButton, Control::Picture3, 105, 150, kPictureSide, kPictureSide, {},
   texts::kLargerHover},
  {Control::Image_fosca_igual, Kind::PictureButton, Control::Picture3, 1065, 150, kPictureSide, kPictureSide, {},
   texts::kSameHover},
  {Control::Image_fosca_petita, Kind::PictureButton, Control::Picture3, 2025, 150, kPictureSide, kPictureSide, {},
   texts::kSmallerHover},
  {Control::Image_clara_gran, Kind::Label, Control::Picture3, 105, 150, kPictureSide, kPictureSide, {}, {}},
  {Control::Image_clara_igual, Kind::Label, Control::Picture3, 1065, 150, kPictureSide, kPictureSide, {}, {}},
  {Control::Image_clara_petita, Kind::Label, Control::Picture3, 2025, 150, kPictureSide, kPictureSide, {}, {}},
  {Control::ajustar_manualmentLbl, Kind::Label, Control::Picture3, 3060, 150, 1320, 600, texts::kAdjustManually, {}},
  {Control::offset_aquiLbl, Kind::Button, Control::Picture3, 3060, 780, 1320, 330, texts::kOffsetHere, {}},
  {Control::offset_mida, Kind::TextBox, Control::Picture3, 3060, 120, 1320, 330, texts::kManualOffsetInitial,
   texts::kManualOffsetHover},
  {Control::OffsetMenysBtn, Kind::Button, Control::Picture3, 3060, 495, 645, 330, texts::kStepDown,
   texts::kDecrementHover},
  {Control::OffsetMesBtn, Kind::Button, Control::Picture3, 3735, 495, 645, 330, texts::kStepUp,
   texts::kIncrementHover},
  {Control::OK_manualbtn, Kind::Button, Control::Picture3, 3060, 870, 1320, 300, texts::kManualOk, {}},
  {Control::SurtEviaOma, Kind::Button, Control::Picture3, 4440, 60, 225, 225, texts::kClosePanel, {}},
};
// clang-format on

// Hidden when the program starts; the handlers show them when their moment comes.
constexpr Control kHiddenAtStart[] = {
    Control::veri_instrument_txt, Control::offsetTxt,         Control::mes_offset,
    Control::menys_offset,        Control::sortir_offset,     Control::info_vista,
    Control::inicio_adminBtn,     Control::cancelar_adminBtn, Control::Picture3,
    Control::offset_mida,         Control::OffsetMenysBtn,    Control::OffsetMesBtn,
    Control::OK_manualbtn};
// Disabled until a read gives them a shape to work on (or their panel opens).
constexpr Control kDisabledAtStart[] = {
    Control::interpola,      Control::antiHorari,     Control::Horari,       Control::mirallHoritzontal,
    Control::parada,         Control::mes_offset,     Control::menys_offset, Control::sortir_offset,
    Control::offset_mida,    Control::OffsetMenysBtn, Control::OffsetMesBtn, Control::OK_manualbtn,
    Control::inicio_adminBtn};

// --- Pictures of our own making --------------------------------------------------------------------

enum class Arrows { Out, None, In };

// An eyeglass lens outline; arrows out (the shape is cut larger), an equals sign (kept) or
// arrows in (cut smaller). The dark twin is the same picture in deeper colours.
QPixmap lensPicture(Arrows arrows, bool dark, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size;
  const QColor face = dark ? QColor(52, 74, 110) : QColor(232, 239, 248);
  const QColor ink = dark ? QColor(255, 255, 255) : QColor(40, 60, 95);
  const QColor glass = dark ? QColor(110, 150, 205) : QColor(200, 222, 245);
  p.setPen(QPen(dark ? QColor(30, 40, 60) : QColor(150, 165, 190), 1));
  p.setBrush(face);
  p.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.1, s * 0.1);

  // The lens: a rounded, slightly tapered outline as a frame would hold it.
  const QRectF lens(s * 0.3, s * 0.32, s * 0.4, s * 0.36);
  QPainterPath outline;
  outline.moveTo(lens.left() + lens.width() * 0.15, lens.top());
  outline.cubicTo(lens.right() + lens.width() * 0.05, lens.top() - lens.height() * 0.05,
                  lens.right() + lens.width() * 0.05, lens.bottom() - lens.height() * 0.2,
                  lens.right() - lens.width() * 0.25, lens.bottom());
  outline.cubicTo(lens.left() + lens.width() * 0.2, lens.bottom() + lens.height() * 0.08,
                  lens.left() - lens.width() * 0.08, lens.bottom() - lens.height() * 0.3, lens.left(),
                  lens.top() + lens.height() * 0.3);
  outline.cubicTo(lens.left(), lens.top() + lens.height() * 0.1, lens.left() + lens.width() * 0.05,
                  lens.top(), lens.left() + lens.width() * 0.15, lens.top());
  p.setBrush(glass);
  p.setPen(QPen(ink, std::max(1.0, s * 0.03)));
  p.drawPath(outline);

  const double y = s * 0.5;
  const double pen = std::max(1.5, s * 0.045);
  p.setPen(QPen(ink, pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  auto arrow = [&](double from, double to) {
    p.drawLine(QPointF(from, y), QPointF(to, y));
    const double head = (to > from ? -1 : 1) * s * 0.07;
    p.drawLine(QPointF(to, y), QPointF(to + head, y - s * 0.06));
    p.drawLine(QPointF(to, y), QPointF(to + head, y + s * 0.06));
  };
  switch (arrows) {
    case Arrows::Out:
      arrow(s * 0.25, s * 0.08);
      arrow(s * 0.75, s * 0.92);
      break;
    case Arrows::In:
      arrow(s * 0.06, s * 0.24);
      arrow(s * 0.94, s * 0.76);
      break;
    case Arrows::None:
      p.drawLine(QPointF(s * 0.42, s * 0.45), QPointF(s * 0.58, s * 0.45));
      p.drawLine(QPointF(s * 0.42, s * 0.55), QPointF(s * 0.58, s * 0.55));
      break;
  }
  return pixmap;
}

// A curved arrow for the turn buttons (clockwise, or its mirror image) and a mirrored pair for
// the mirror button.
QIcon turnIcon(bool clockwise, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    const QColor ink(30, 50, 90);
    const QRectF arc(s * 0.18, s * 0.2, s * 0.64, s * 0.64);
    p.setPen(QPen(ink, std::max(1.5, s * 0.08), Qt::SolidLine, Qt::FlatCap));
    p.drawArc(arc, 90 * 16, 270 * 16);  // from the top round the left and the bottom to the right
    // The head at the top points to the right: the way a clockwise turn goes there.
    const QPointF tip(arc.center().x() + s * 0.2, arc.top());
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPolygon(QPolygonF{tip, QPointF(arc.center().x() - s * 0.02, arc.top() - s * 0.14),
                            QPointF(arc.center().x() - s * 0.02, arc.top() + s * 0.14)});
  }
  return QIcon(QPixmap::fromImage(clockwise ? image : image.mirrored(true, false)));
}

// A clock face with a turning arrow: the reads kept over time.
QIcon historyIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size;
  const QColor ink(30, 50, 90);
  const QRectF face(s * 0.14, s * 0.14, s * 0.72, s * 0.72);
  p.setPen(QPen(ink, std::max(1.5, s * 0.08), Qt::SolidLine, Qt::FlatCap));
  p.drawArc(face, 120 * 16, 300 * 16);
  p.drawLine(face.center(), QPointF(face.center().x(), face.top() + s * 0.14));
  p.drawLine(face.center(), QPointF(face.center().x() + s * 0.16, face.center().y() + s * 0.08));
  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  const QPointF end(face.center().x() - s * 0.18, face.top() + s * 0.05);
  p.drawPolygon(QPolygonF{end + QPointF(-s * 0.16, -s * 0.04), end + QPointF(s * 0.04, -s * 0.12),
                          end + QPointF(-s * 0.02, s * 0.12)});
  return QIcon(pixmap);
}

QIcon mirrorIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size;
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(30, 50, 90));
  p.drawPolygon(
      QPolygonF{QPointF(s * 0.44, s * 0.2), QPointF(s * 0.44, s * 0.8), QPointF(s * 0.12, s * 0.8)});
  p.setBrush(QColor(150, 170, 205));
  p.drawPolygon(
      QPolygonF{QPointF(s * 0.56, s * 0.2), QPointF(s * 0.56, s * 0.8), QPointF(s * 0.88, s * 0.8)});
  p.setPen(QPen(QColor(30, 50, 90), 1, Qt::DashLine));
  p.drawLine(QPointF(s * 0.5, s * 0.1), QPointF(s * 0.5, s * 0.9));
  return QIcon(pixmap);
}

}  // namespace

void MainWindow::buildControls() {
  setObjectName(q(kovrel::objectName(Control::Form1)));
  setWindowTitle(q(texts::kCaption));
  controls_[static_cast<std::size_t>(Control::Form1)] = this;
  geometry_[static_cast<std::size_t>(Control::Form1)] = {0, 0, kFormWidth, kFormHeightClosed};

  for (const ControlLayout& entry : kLayout) {
    QWidget* parent = control(entry.container);
    QWidget* w = nullptr;
    switch (entry.kind) {
      case Kind::Button:
        w = new QPushButton(q(entry.text), parent);
        break;
      case Kind::PictureButton: {
        auto* button = new QPushButton(parent);
        button->setFlat(true);
        w = button;
        break;
      }
      case Kind::Label: {
        auto* label = new QLabel(q(entry.text), parent);
        label->setTextFormat(Qt::PlainText);  // a message is shown, and read, as it is written
        label->setWordWrap(true);
        w = label;
        break;
      }
      case Kind::TextBox:
        w = new QLineEdit(q(entry.text), parent);
        break;
      case Kind::CheckBox:
        w = new QCheckBox(q(entry.text), parent);
        break;
      case Kind::Option: {
        auto* dot = new QRadioButton(parent);
        dot->setFocusPolicy(Qt::NoFocus);  // it shows a state; the operator changes it elsewhere
        dot->setAttribute(Qt::WA_TransparentForMouseEvents);
        w = dot;
        break;
      }
      case Kind::Frame:
        w = new QGroupBox(q(entry.text), parent);
        break;
      case Kind::Shape: {
        auto* frame = new QFrame(parent);
        frame->setFrameShape(QFrame::Box);
        w = frame;
        break;
      }
      case Kind::Round: {
        auto* dot = new QFrame(parent);
        dot->setStyleSheet("border: 1px solid #404850; border-radius: 9px; background: #d8dde3;");
        w = dot;
        break;
      }
      case Kind::Progress: {
        auto* bar = new QProgressBar(parent);
        bar->setRange(0, 4097);  // samples 1..4096 and the end of the read
        bar->setValue(0);
        bar->setTextVisible(false);
        w = bar;
        break;
      }
      case Kind::Panel: {
        auto* panel = new QFrame(parent);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Raised);
        panel->setAutoFillBackground(true);
        panel->setMouseTracking(true);  // the pointer over its background brings the light pictures back
        w = panel;
        break;
      }
      case Kind::Picture:
        plot_ = new PlotWidget(parent);
        w = plot_;
        break;
      case Kind::Notice: {
        auto* notice = new QPlainTextEdit(q(entry.text), parent);
        notice->setReadOnly(true);
        w = notice;
        break;
      }
    }
    w->setObjectName(q(kovrel::objectName(entry.c)));
    if (const std::string_view name = kovrel::accessibleName(entry.c); !name.empty())
      w->setAccessibleName(q(name));
    if (const std::string_view purpose = kovrel::accessibleDescription(entry.c); !purpose.empty())
      w->setAccessibleDescription(q(purpose));
    if (!entry.toolTip.empty()) w->setToolTip(q(entry.toolTip));
    controls_[static_cast<std::size_t>(entry.c)] = w;
    geometry_[static_cast<std::size_t>(entry.c)] = {entry.left, entry.top, entry.width, entry.height};
  }

  // A caption label names the control beside it: that control is announced with the caption the
  // eye sees.
  for (int i = 0; i < kControlCount; ++i) {
    const Control caption = captionLabelOf(static_cast<Control>(i));
    if (caption != Control::Count)
      static_cast<QLabel*>(control(caption))->setBuddy(controls_[static_cast<std::size_t>(i)]);
  }

  // The information box hides typed codes behind "*" in code entry.
  auto* info = static_cast<QLineEdit*>(control(Control::Text1));
  info->setStyleSheet("QLineEdit { lineedit-password-character: 42; }");
  QFont infoFont = info->font();
  infoFont.setBold(true);
  info->setFont(infoFont);

  auto* notice = static_cast<QLabel*>(control(Control::veri_instrument_txt));
  notice->setAlignment(Qt::AlignCenter);
  QFont noticeFont = notice->font();
  noticeFont.setBold(true);
  noticeFont.setPointSizeF(noticeFont.pointSizeF() * 1.6);
  notice->setFont(noticeFont);
  setForeColor(Control::veri_instrument_txt, kRed);

  // "Aquí" looks like a link and is a button: it takes the keyboard focus and the press action of
  // assistive technology.
  auto* offsetHere = static_cast<QPushButton*>(control(Control::offset_aquiLbl));
  offsetHere->setFlat(true);
  offsetHere->setAutoDefault(true);  // Enter presses it as well as Space
  offsetHere->setCursor(Qt::PointingHandCursor);
  QFont here = offsetHere->font();
  here.setUnderline(true);
  offsetHere->setFont(here);
  setForeColor(Control::offset_aquiLbl, kBlue);
  static_cast<QLineEdit*>(control(Control::offset_mida))->setAlignment(Qt::AlignRight);
  // The manual offset is read back with the operator's decimal separator: "0,00" in a Spanish
  // locale, "0.00" where the separator is a point (else the first send would refuse it).
  std::string manualOffset(texts::kManualOffsetInitial);
  std::replace(manualOffset.begin(), manualOffset.end(), ',', decimalSeparator());
  static_cast<QLineEdit*>(control(Control::offset_mida))->setText(q(manualOffset));

  // Lens-type choices: buttons showing the dark pictures, which lie under the light ones until
  // the pointer (or the keyboard focus) comes. Enter chooses as well as Space.
  struct Pair {
    Control light, dark;
    Arrows arrows;
  };
  const int pictureSize = toPixels(kPictureSide);
  for (const Pair& pair : {Pair{Control::Image_clara_gran, Control::Image_fosca_gran, Arrows::Out},
                           Pair{Control::Image_clara_igual, Control::Image_fosca_igual, Arrows::None},
                           Pair{Control::Image_clara_petita, Control::Image_fosca_petita, Arrows::In}}) {
    static_cast<QLabel*>(control(pair.light))->setPixmap(lensPicture(pair.arrows, false, pictureSize));
    auto* choice = static_cast<QPushButton*>(control(pair.dark));
    choice->setIcon(QIcon(lensPicture(pair.arrows, true, pictureSize)));
    choice->setIconSize(QSize(pictureSize, pictureSize));
    choice->setAutoDefault(true);
    choice->setCursor(Qt::PointingHandCursor);
    // Moving over a picture is the picture's business, not the panel background's.
    control(pair.light)->setAttribute(Qt::WA_NoMousePropagation);
    control(pair.dark)->setAttribute(Qt::WA_NoMousePropagation);
    control(pair.light)->raise();
  }

  const int iconSize = toPixels(420);
  auto* anti = static_cast<QPushButton*>(control(Control::antiHorari));
  auto* clockwise = static_cast<QPushButton*>(control(Control::Horari));
  auto* mirror = static_cast<QPushButton*>(control(Control::mirallHoritzontal));
  anti->setIcon(turnIcon(false, iconSize));
  clockwise->setIcon(turnIcon(true, iconSize));
  mirror->setIcon(mirrorIcon(iconSize));
  for (QPushButton* b : {anti, clockwise, mirror}) b->setIconSize(QSize(iconSize, iconSize));
  // The history follows the read button: a shortcut of a disabled button does nothing.
  auto* history = static_cast<QPushButton*>(control(Control::historialBtn));
  history->setIcon(historyIcon(toPixels(300)));
  history->setIconSize(QSize(toPixels(300), toPixels(300)));
  history->setShortcut(QKeySequence(QStringLiteral("Ctrl+H")));
  QFont bold = control(Control::llegirBtn)->font();
  bold.setBold(true);
  control(Control::llegirBtn)->setFont(bold);
  control(Control::interpola)->setFont(bold);

  setChecked(Control::CompSiNoChk, true);  // temperature compensation is on unless service turns it off
  for (Control c : kHiddenAtStart) control(c)->hide();
  for (Control c : kDisabledAtStart) control(c)->setEnabled(false);
  for (Control c : kServicePanel) control(c)->hide();

  // The true-size plot may need more room than its twips slot on a dense screen.
  extraWidth_ = std::max(0, plot_->width() - toPixels(kPlotWidthTwips));
  extraHeight_ = std::max(0, plot_->height() - toPixels(kPlotHeightTwips));
  for (int i = 0; i < kControlCount; ++i) applyGeometry(static_cast<Control>(i));
  // Panels drawn over the plot stay above it.
  control(Control::veri_instrument_txt)->raise();
  control(Control::Picture3)->raise();
}

// " COM 5" fits the port's slot beside "Auto"; a host's network address, or its state, does not. Such
// a label takes the row under "Auto" instead, which is the general-offset panel's while that is open.
void MainWindow::placePortLabel() {
  auto* label = static_cast<QLabel*>(control(Control::port_oma_info_lbl));
  const bool fits = label->fontMetrics().horizontalAdvance(label->text()) <= toPixels(kPortSlot.width);
  const Place& place = fits ? kPortSlot : kPortRow;
  geometry_[static_cast<std::size_t>(Control::port_oma_info_lbl)] = {place.left, place.top, place.width,
                                                                     place.height};
  applyGeometry(Control::port_oma_info_lbl);
  label->setVisible(fits || control(Control::offsetTxt)->isHidden());
}

void MainWindow::applyFormGeometry() {
  const TwipsRect& g = geometry_[static_cast<std::size_t>(Control::Form1)];
  setFixedSize(toPixels(g.width) + extraWidth_, toPixels(g.height) + extraHeight_);
}

void MainWindow::applyGeometry(Control c) {
  if (c == Control::Form1) {
    applyFormGeometry();
    return;
  }
  const TwipsRect& g = geometry_[static_cast<std::size_t>(c)];
  QWidget* w = control(c);
  int x = toPixels(g.left);
  int y = toPixels(g.top);
  int width = toPixels(g.width);
  const int height = toPixels(g.height);
  if (c == Control::Picture3) {
    // Anchored by its bottom edge, which stays on the plot's bottom edge while it slides.
    y = toPixels(g.top + g.height) - height;
    lensPanelFolded(g.height <= kPanelFoldedHeight);
  }
  if (w->parentWidget() == this) {
    if (g.left >= kPlotRight) x += extraWidth_;
    if (g.top >= kPlotBottom || c == Control::Picture3) y += extraHeight_;
    if (g.width >= kPlotWidthTwips && c != Control::Picture1) {
      width += extraWidth_;  // boxes as wide as the plot or the window grow with it
    }
  }
  if (c == Control::Picture1) {
    w->move(x, y);  // its size is the plot's true size
    return;
  }
  w->setGeometry(x, y, width, height);
}

}  // namespace kovrel
