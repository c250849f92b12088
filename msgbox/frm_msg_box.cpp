#include "msgbox/frm_msg_box.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QStyle>
#include <QTimer>
#include <cmath>
#include <utility>

#include "platform/controls/window_layout.h"
#include "msgbox/msg_box_state.h"
#include "platform/controls/elastic_panel.h"
#include "platform/controls/push_button.h"
#include "platform/controls/screen_metrics.h"
#include "platform/controls/screen_pointer.h"

namespace pu {
namespace {

// Design values in twips.
constexpr int kClientWidth = 5385;
constexpr int kClientHeight = 1455;
constexpr int kIconLeft = 240, kIconTop = 240, kIconSize = 480;
constexpr int kMessageLeft = 840, kMessageTop = 240, kMessageWidth = 4080, kMessageHeight = 285;
constexpr int kGroupLeft = 120, kGroupTop = 960, kGroupWidth = 3255, kGroupHeight = 375;
constexpr int kButtonWidth = 1095, kButtonHeight = 375;
constexpr std::array<int, 3> kButtonLeft = {0, 1080, 2160};
// Room the window keeps beside and below the buttons, so that they never
// touch the window's edge (the group's own design margin, on both sides).
constexpr int kButtonSideRoom = 2 * kGroupLeft;
constexpr int kButtonBottomRoom = kIconTop;
constexpr int kButtonGapPixels = 9;
constexpr int kCaptionPaddingPixels = 4 + 15;
constexpr int kUnloadDelayMs = 1;

std::function<void(QWidget*)> g_formHook;

QFont arialBold(double points) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(points);
  font.setBold(true);
  return font;
}

// A rectangle in twips, applied to a widget in pixels.
struct TwipsRect {
  int left, top, width, height;
  int right() const { return left + width; }
  void applyTo(QWidget* widget) const {
    widget->setGeometry(pixelsFromTwipsX(left), pixelsFromTwipsY(top), pixelsFromTwipsX(width), pixelsFromTwipsY(height));
  }
};


} // namespace

void setMsgBoxFormHook(std::function<void(QWidget*)> hook) { g_formHook = std::move(hook); }

frmMsgBox::frmMsgBox(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmMsgBox"));
  setFont(arialBold(9.75));
  resize(pixelsFromTwipsX(kClientWidth), pixelsFromTwipsY(kClientHeight));

  m_vseBack = new ElasticPanel(this);
  m_vseBack->setObjectName(QStringLiteral("vseBack"));

  m_imgIcon = new QLabel(m_vseBack);
  m_imgIcon->setObjectName(QStringLiteral("imgIcon"));
  TwipsRect{kIconLeft, kIconTop, kIconSize, kIconSize}.applyTo(m_imgIcon);

  QStyle* style = QApplication::style();
  m_imgStockIcon[16] = style->standardIcon(QStyle::SP_MessageBoxCritical);
  m_imgStockIcon[32] = style->standardIcon(QStyle::SP_MessageBoxQuestion);
  m_imgStockIcon[48] = style->standardIcon(QStyle::SP_MessageBoxWarning);
  m_imgStockIcon[64] = style->standardIcon(QStyle::SP_MessageBoxInformation);

  m_lblMessage = new QLabel(m_vseBack);
  m_lblMessage->setObjectName(QStringLiteral("lblMessage"));
  m_lblMessage->setFont(arialBold(12));
  m_lblMessage->setTextFormat(Qt::PlainText);
  m_lblMessage->setWordWrap(true);
  m_lblMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_lblMessage->setTextInteractionFlags(Qt::NoTextInteraction);
  TwipsRect{kMessageLeft, kMessageTop, kMessageWidth, kMessageHeight}.applyTo(m_lblMessage);

  m_vseButtonGroup = new ElasticPanel(m_vseBack);
  m_vseButtonGroup->setObjectName(QStringLiteral("vseButtonGroup"));
  TwipsRect{kGroupLeft, kGroupTop, kGroupWidth, kGroupHeight}.applyTo(m_vseButtonGroup);
  for (int i = 0; i < 3; ++i) {
    auto* button = new PushButton(m_vseButtonGroup);
    button->setObjectName(QStringLiteral("btnButton%1").arg(i + 1));
    button->setTwipsGeometry(kButtonLeft[static_cast<std::size_t>(i)], 0, kButtonWidth, kButtonHeight);
    connect(button, &QPushButton::clicked, this, [this, i] { press(i + 1); });
    m_btnButton[static_cast<std::size_t>(i)] = button;
  }

  m_tmrUnload = new QTimer(this);
  m_tmrUnload->setObjectName(QStringLiteral("tmrUnload"));
  m_tmrUnload->setInterval(kUnloadDelayMs);
  connect(m_tmrUnload, &QTimer::timeout, this, [this] {
    m_tmrUnload->stop();
    close();
  });

  // Key preview: the box sees each key before the control with the focus.
  installEventFilter(this);
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

PushButton* frmMsgBox::button(int number) const {
  return number >= 1 && number <= 3 ? m_btnButton[static_cast<std::size_t>(number - 1)] : nullptr;
}

std::int32_t frmMsgBox::ShowMsgBox(const Text& message, std::int32_t options, const std::optional<Text>& title) {
  prepare(message, options, title);
  exec();
  return finish();
}

void frmMsgBox::prepare(const Text& message, std::int32_t options, const std::optional<Text>& title) {
  m_buttonSet = SetMsgBoxState(message, options, title);
  load();
}

std::int32_t frmMsgBox::finish() {
  PressedButton = MapPressedButton(m_buttonSet, PressedButton);
  return PressedButton;
}

void frmMsgBox::load() {
  if (WorkAreaWidth == 0) MeasureWorkArea();
  PressedButton = CancelButton;
  m_savedPointer = screenMousePointer();
  setScreenMousePointer(kPointerDefault);
  setWindowTitle(QString::fromStdU16String(MsgTitle));

  const double pixelX = twipsPerPixelX();
  std::array<TwipsRect, 3> buttons;
  int groupWidth = kGroupWidth;
  for (std::size_t i = 0; i < 3; ++i) {
    PushButton* btn = m_btnButton[i];
    buttons[i] = {kButtonLeft[i], 0, kButtonWidth, kButtonHeight};
    if (ButtonCaptions[i].empty()) {
      btn->hide();
      continue;
    }
    btn->show();
    if (i > 0) buttons[i].left = buttons[i - 1].right() + static_cast<int>(std::lround(kButtonGapPixels * pixelX));
    QString caption = QString::fromStdU16String(ButtonCaptions[i]);
    btn->setCaption(caption);
    auto needed = static_cast<std::int16_t>(TextWidthIn(btn, caption) + std::lround(kCaptionPaddingPixels * pixelX));
    if (buttons[i].width < needed) buttons[i].width = needed;
    groupWidth = buttons[i].right() + buttons[0].left;
    buttons[i].applyTo(btn);
  }

  TwipsRect icon{kIconLeft, kIconTop, kIconSize, kIconSize};
  TwipsRect message{kMessageLeft, kMessageTop, kMessageWidth, kMessageHeight};
  auto stock = m_imgStockIcon.find(MsgIcon);
  bool showIcon = MsgIcon >= 1 && stock != m_imgStockIcon.end();
  if (showIcon) {
    int side = pixelsFromTwipsX(kIconSize);
    m_imgIcon->setPixmap(stock->second.pixmap(side, side));
    m_imgIcon->show();
  } else {
    m_imgIcon->hide();
    message.width += message.left - icon.left;
    message.left = icon.left;
  }

  const int margin = kClientWidth - message.width;
  const int gap = kGroupTop - kIconSize;

  QString text = QString::fromStdU16String(MsgText);
  int width = TextWidthIn(m_lblMessage, text);
  const auto maximum = static_cast<int>(std::lround(WorkAreaWidth * 3.0 / 5.0 - margin));
  const int minimum = groupWidth + kButtonSideRoom - margin;
  if (width > maximum) {
    width = maximum;
  } else if (width < minimum) {
    width = minimum;
  }

  const int clientWidth = width + margin;
  message.width = width;
  TwipsRect group{(clientWidth - groupWidth) / 2, kGroupTop, groupWidth, kGroupHeight};

  // A lone CR would not break the line on screen; CR LF breaks it once.
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n'));
  m_lblMessage->setText(shown);
  message.height = twipsFromPixelsY(m_lblMessage->heightForWidth(pixelsFromTwipsX(message.width)));

  int contentHeight = message.height;
  if (showIcon && message.height < icon.height) {
    message.top = icon.top + (icon.height - message.height) / 2;
    contentHeight = icon.height;
  } else if (showIcon) {
    icon.top = message.top + (message.height - icon.height) / 2;
  }
  group.top = contentHeight + gap;
  const int clientHeight = group.height + group.top + kButtonBottomRoom;

  icon.applyTo(m_imgIcon);
  message.applyTo(m_lblMessage);
  group.applyTo(m_vseButtonGroup);
  setFixedSize(pixelsFromTwipsX(clientWidth), pixelsFromTwipsY(clientHeight));
  m_vseBack->setFillParent(true);
  m_vseBack->setBackColor(palette().color(QPalette::Window));

  MakeTopmost(this);
  CenterForm(this);
  if (g_formHook) g_formHook(this);
}

void frmMsgBox::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  activate();
}

bool frmMsgBox::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) activate();
  return QDialog::event(event);
}

void frmMsgBox::activate() {
  // A default button that is hidden (button 3 of a two-button set) is simply not focused.
  PushButton* btn = button(DefaultButton);
  if (btn && !btn->isHidden()) btn->setFocus(Qt::ActiveWindowFocusReason);
  CenterForm(this);
}

void frmMsgBox::done(int code) {
  m_tmrUnload->stop();
  setScreenMousePointer(m_savedPointer);
  QDialog::done(code);
}

void frmMsgBox::press(std::int32_t number) {
  PressedButton = number;
  // Closing from a timer lets the press finish before the window goes.
  m_tmrUnload->start();
}

bool frmMsgBox::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent*>(event))) return true;
  return QDialog::eventFilter(watched, event);
}

bool frmMsgBox::handleKey(const QKeyEvent* event) {
  const int key = event->key();
  if (event->modifiers() & Qt::ControlModifier) {
    if (key != Qt::Key_C) return false;
    QApplication::clipboard()->setText(QString::fromStdU16String(MsgBoxClipboardText()));
    return true;
  }
  // The keypad's digits arrive as the same keys with the keypad modifier.
  if (key >= Qt::Key_1 && key <= Qt::Key_3) {
    PushButton* btn = button(key - Qt::Key_1 + 1);
    if (btn->isHidden()) return false;
    press(key - Qt::Key_1 + 1);
    return true;
  }
  if (key == Qt::Key_Escape) {
    press(CancelButton);
    return true;
  }
  bool letter = key >= Qt::Key_A && key <= Qt::Key_Z;
  bool digit = key == Qt::Key_0 || (key >= Qt::Key_4 && key <= Qt::Key_9);
  if (!letter && !digit) return false;
  const QString accelerator = QStringLiteral("&") + QChar(key);
  for (int n = 1; n <= 3; ++n) {
    if (QString::fromStdU16String(ButtonCaptions[static_cast<std::size_t>(n - 1)]).toUpper().contains(accelerator)) {
      press(n);
      return true;
    }
  }
  return false;
}

} // namespace pu
