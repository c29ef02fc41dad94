#include "colorpopup.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QScreen>
#include <QToolTip>

#include "colorpickerbutton.h"
#include "paintsupport.h"

namespace aiimport {

namespace {

// The platform's 3-D edge width: the popup's layout reserves this much for every edge.
constexpr int EdgeWidth = 2;

constexpr int HintTimeout = 5000;  // ms, for the intensity and comb hints

constexpr int TextFlags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;

QPolygon HexagonPolygon(int cx, int cy, int size) {
  QPolygon polygon;
  for (const TPoint& v : HexagonVertices(cx, cy, size))
    polygon << QPoint(v.X, v.Y);
  return polygon;
}

// The chosen comb's outline: a 2-pixel white pen that inverts what is under it.
void OutlineComb(QPainter& p, const QPolygon& polygon) {
  p.save();
  p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  p.setPen(QPen(Qt::white, 2));
  p.setBrush(Qt::NoBrush);
  p.drawPolygon(polygon);
  p.restore();
}

}  // namespace

TColorPopup::TColorPopup(TColorPickerButton* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowDoesNotAcceptFocus),
      m_owner(owner) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_AlwaysShowToolTips);
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
  UpdateLayout();
  move(-1000, 0);  // created hidden and off-screen until the first opening places it
}

TColorPopup::~TColorPopup() = default;

// ---- State ----

void TColorPopup::UpdateLayout() {
  TPopupMetrics m;
  m.Edge = EdgeWidth;
  m.Spacing = m_spacing;
  m.HasDefault = !m_defaultText.isEmpty();
  m.HasCustom = !m_customText.isEmpty();
  m.ShowSystemColors = m_showSystemColors;
  if (m.HasDefault || m.HasCustom) {
    // Both texts measured in the default GUI font, as they are drawn.
    const QFontMetrics fm(QApplication::font());
    const int flags = Qt::TextSingleLine | Qt::TextShowMnemonic;
    const QSize d = m.HasDefault ? fm.size(flags, m_defaultText) : QSize();
    const QSize c = m.HasCustom ? fm.size(flags, m_customText) : QSize();
    m.TextWidth = std::max(d.width(), c.width());
    m.TextHeight = std::max(d.height(), c.height());
  }
  m_layout = ComputePopupLayout(m);
  if (isVisible()) Place();
  update();
}

void TColorPopup::SetDefaultText(const QString& text) {
  if (text == m_defaultText) return;
  m_defaultText = text;
  UpdateLayout();
}

void TColorPopup::SetCustomText(const QString& text) {
  if (text == m_customText) return;
  m_customText = text;
  if (text.isEmpty()) {
    if (m_selectedCell == CellCustom) m_selectedCell = CellNone;
    if (m_hoverCell == CellCustom) m_hoverCell = CellNone;
  }
  UpdateLayout();
}

void TColorPopup::SetShowSystemColors(bool show) {
  if (show == m_showSystemColors) return;
  m_showSystemColors = show;
  if (!show) {
    // A system cell cannot stay marked once the system cells are gone.
    if (m_selectedCell >= FirstSystemCell) m_selectedCell = CellNone;
    if (m_hoverCell >= FirstSystemCell) m_hoverCell = CellNone;
  }
  UpdateLayout();
}

void TColorPopup::SetSpacing(int spacing) {
  spacing = std::max(0, spacing);
  if (spacing == m_spacing) return;
  m_spacing = spacing;
  UpdateLayout();  // the cells and the window follow the spacing
}

void TColorPopup::EnsureCombs() {
  if (!m_colorCombs.empty()) return;
  m_colorCombs =
      BuildColorCombs(m_layout.Radius, m_layout.Levels, m_centreRed, m_centreGreen, m_centreBlue);
  m_grayCombs = BuildGrayCombs(m_layout.CombSize);
}

const TCombArray& TColorPopup::ColorCombs() {
  EnsureCombs();
  return m_colorCombs;
}

const TCombArray& TColorPopup::GrayCombs() {
  EnsureCombs();
  return m_grayCombs;
}

void TColorPopup::SelectColor(TColor color) {
  EnsureCombs();
  const TCellChoice choice = CellForColor(color, m_layout, SystemRgbTable(QApplication::palette()),
                                          m_grayCombs, m_colorCombs, m_customChoice);
  m_customChoice = choice.CustomChoice;
  SelectCell(choice.SelectedCell);
  update();
}

void TColorPopup::SelectCell(int cell) {
  const bool wasCustom = m_selectedCell == CellCustom;
  m_selectedCell = cell;
  if (wasCustom != (cell == CellCustom) && isVisible()) Place();
  update();
}

void TColorPopup::SetHoverCell(int cell) {
  if (cell == m_hoverCell) return;
  m_hoverCell = cell;
  update();
}

// ---- Opening, placing, closing ----

void TColorPopup::Open(TColor color) {
  m_hoverCell = CellNone;
  m_trackMode = TTrackMode::None;
  m_leftDown = false;
  m_wasActive = false;
  SelectColor(color);
  Place();
  show();
  raise();
  // The grab stands in for the platform's mouse capture: while it is held, presses anywhere
  // come here, so a press outside the popup can cancel it.
  grabMouse();
  grabKeyboard();
  qApp->installEventFilter(this);
}

void TColorPopup::Close() {
  qApp->removeEventFilter(this);
  releaseKeyboard();
  releaseMouse();
  QToolTip::hideText();
  hide();
  m_hoverCell = CellNone;
  m_trackMode = TTrackMode::None;
  m_leftDown = false;
}

// Under the owner's bottom-left corner, one pixel to its left; moved up (or above the owner) at
// the screen's bottom and to the left at its right edge. The height includes the custom section
// while the custom cell is selected.
void TColorPopup::Place() {
  const int w = m_layout.Window.Width();
  const int h = PopupHeight(m_layout, m_selectedCell);
  setFixedSize(w, h);
  const QPoint topLeft = m_owner->mapToGlobal(QPoint(0, 0));
  const TRect button{topLeft.x(), topLeft.y(), topLeft.x() + m_owner->width(),
                     topLeft.y() + m_owner->height()};
  QRect screen(0, 0, 1 << 20, 1 << 20);
  if (const QScreen* s = m_owner->screen()) screen = s->geometry();
  const TRect screenRect{screen.left(), screen.top(), screen.left() + screen.width(),
                         screen.top() + screen.height()};
  const TPoint p = PlacePopup(button, w, h, screenRect);
  move(p.X, p.Y);
}

void TColorPopup::Accept() {
  TColorPickerButton* owner = m_owner;
  if (m_selectedCell >= 0) {
    owner->SetSelectionColor(CellColor(m_selectedCell));
  } else if (m_selectedCell == CellCustom) {
    // Without a custom choice nothing is taken.
    if (m_customChoice != 0) {
      EnsureCombs();
      owner->SetSelectionColor(CustomChoiceColor(m_customChoice, m_grayCombs, m_colorCombs));
    }
  } else {
    owner->DefaultSelect();
  }
  owner->SetDroppedDown(false);
}

void TColorPopup::Cancel() {
  m_owner->SetDroppedDown(false);
}

// ---- Mouse ----

void TColorPopup::TrackCustom(QPoint pos) {
  const int x = pos.x(), y = pos.y();
  const TRect& bar = m_layout.IntensityBar;
  const bool onBar = bar.Contains(x, y) && m_trackMode == TTrackMode::None;
  const bool alongBar = x >= bar.Left && x <= bar.Right && m_trackMode == TTrackMode::IntensityBar;
  if (onBar || alongBar) {
    m_trackMode = TTrackMode::IntensityBar;
    m_intensity = IntensityAt(m_layout, y);
    m_centreRed = m_centreGreen = m_centreBlue = m_intensity;
    m_colorCombs.clear();  // every colour comb changes: rebuilt at the next paint
    update();
    return;
  }
  if (m_layout.GreyArea.Contains(x, y) &&
      (m_trackMode == TTrackMode::None || m_trackMode == TTrackMode::GrayComb)) {
    m_trackMode = TTrackMode::GrayComb;
    const int k = GrayCombAt(m_layout, GrayCombs(), x, y);
    if (k >= 0) m_customChoice = -(k + 1);
    update();
    return;
  }
  if (m_layout.CombArea.Contains(x, y) &&
      (m_trackMode == TTrackMode::None || m_trackMode == TTrackMode::ColorComb)) {
    m_trackMode = TTrackMode::ColorComb;
    const int k = ColorCombAt(m_layout, ColorCombs(), x, y);
    if (k >= 0) m_customChoice = k + 1;
    update();
    return;
  }
  m_customChoice = 0;
  update();
}

void TColorPopup::mouseMoveEvent(QMouseEvent* event) {
  m_owner->RunGuarded([&] {
    const QPoint pos = event->position().toPoint();
    const int cell = CellFromPoint(m_layout, pos.x(), pos.y());
    SetHoverCell(cell);
    const bool leftDown = event->buttons() & Qt::LeftButton;
    if (cell == CellNone && leftDown && rect().contains(pos)) TrackCustom(pos);
    // A hint on show follows the pointer (the intensity and comb hints change as it moves).
    if (QToolTip::isVisible()) ShowHint(pos, leftDown);
  });
}

void TColorPopup::mousePressEvent(QMouseEvent* event) {
  m_owner->RunGuarded([&] {
    if (event->button() != Qt::LeftButton) return;
    const QPoint pos = event->position().toPoint();
    if (!rect().contains(pos)) {
      Cancel();
      return;
    }
    m_leftDown = true;
    SetHoverCell(CellFromPoint(m_layout, pos.x(), pos.y()));
    if (m_hoverCell != CellNone)
      update();  // the hover cell now shows pressed
    else
      TrackCustom(pos);
  });
}

void TColorPopup::mouseDoubleClickEvent(QMouseEvent* event) {
  mousePressEvent(event);
}

void TColorPopup::mouseReleaseEvent(QMouseEvent* event) {
  m_owner->RunGuarded([&] {
    if (event->button() != Qt::LeftButton) return;
    m_leftDown = false;
    const QPoint pos = event->position().toPoint();
    const int cell = CellFromPoint(m_layout, pos.x(), pos.y());
    const TTrackMode tracked = m_trackMode;
    m_trackMode = TTrackMode::None;
    if (cell != CellNone || (m_selectedCell == CellCustom && m_customChoice != 0)) {
      if (cell != CellNone) SelectCell(cell);
      const bool onComb = tracked == TTrackMode::ColorComb || tracked == TTrackMode::GrayComb;
      if ((m_selectedCell == CellCustom && onComb) || m_selectedCell >= 0 ||
          m_selectedCell == CellDefault) {
        Accept();
        return;
      }
    }
    // Still open: keep every mouse event coming here.
    update();
    if (isVisible()) grabMouse();
  });
}

// ---- Keyboard ----

void TColorPopup::keyPressEvent(QKeyEvent* event) {
  m_owner->RunGuarded([&] {
    const int key = event->key();
    if (event->modifiers() & Qt::AltModifier) {
      const QChar typed = QChar(key).toUpper();
      const QChar defaultKey = AcceleratorChar(m_defaultText).toUpper();
      const QChar customKey = AcceleratorChar(m_customText).toUpper();
      if (!defaultKey.isNull() && typed == defaultKey && m_layout.HasDefault) {
        SelectCell(CellDefault);
        Accept();
        return;
      }
      if (!customKey.isNull() && typed == customKey && m_layout.HasCustom) {
        if (m_selectedCell != CellCustom) SelectCell(CellCustom);
        return;
      }
    }
    switch (key) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
      case Qt::Key_Space:
        m_selectedCell = m_hoverCell;
        Accept();
        return;
      case Qt::Key_Escape:
        Cancel();
        return;
      case Qt::Key_Left:
      case Qt::Key_Up:
      case Qt::Key_Right:
      case Qt::Key_Down: {
        const TArrowKey arrow = key == Qt::Key_Left    ? TArrowKey::Left
                                : key == Qt::Key_Up    ? TArrowKey::Up
                                : key == Qt::Key_Right ? TArrowKey::Right
                                                       : TArrowKey::Down;
        const int from = m_hoverCell != CellNone ? m_hoverCell : m_selectedCell;
        SetHoverCell(MoveCell(m_layout, from, arrow));
        return;
      }
      default:
        event->ignore();
    }
  });
}

// A key press is first offered to the shortcuts (the window's menu commands, its Esc). The
// shortcut override asks whether a key is wanted as a plain key press instead: while the popup
// is open every key is, and the press then comes here through the keyboard grab.
bool TColorPopup::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride && isVisible()) {
    event->accept();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

// ---- Losing the focus ----

void TColorPopup::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange) {
    // Where the platform activates the popup anyway, losing that activation closes it.
    if (isActiveWindow()) {
      m_wasActive = true;
    } else if (m_wasActive) {
      m_wasActive = false;
      if (m_owner->DroppedDown()) m_owner->RunGuarded([&] { Cancel(); });
    }
  }
  QWidget::changeEvent(event);
}

// ---- Hints ----

std::optional<TColorPopup::THint> TColorPopup::HintAt(QPoint pos, bool leftButtonDown) {
  if (!m_owner->ShowHint()) return std::nullopt;
  const int x = pos.x(), y = pos.y();
  const int cell = CellFromPoint(m_layout, x, y);
  THint hint;
  hint.Pos = pos;
  if (cell >= 0) {
    hint.Text = QString::fromUtf8(CellName(cell).data(), qsizetype(CellName(cell).size()));
    hint.Area = ToQRect(CellRect(m_layout, cell));
    return hint;
  }
  if (cell == CellDefault || cell == CellCustom) {
    // The owner's OnHint may name the button; else the owner's own hint is shown.
    if (m_owner->OnHint) m_owner->OnHint(m_owner, cell, hint.Text);
    if (!hint.Text.isEmpty()) {
      hint.Area = ToQRect(cell == CellDefault ? m_layout.DefaultButton : m_layout.CustomButton);
    } else {
      hint.Text = m_owner->Hint();
      hint.Area = rect();
    }
    return hint.Text.isEmpty() ? std::nullopt : std::optional<THint>(hint);
  }
  if (m_selectedCell == CellCustom) {
    const QRect here(pos, QSize(1, 1));  // re-evaluated at every pointer position
    if (m_layout.IntensityBar.Contains(x, y)) {
      hint.Text = QStringLiteral("Intensity: %1%").arg(IntensityPercent(m_intensity));
      hint.Pos = QPoint(m_layout.IntensityBar.Right, y - 8);
      hint.Area = here;
      hint.Timeout = HintTimeout;
      return hint;
    }
    TColor color = 0;
    bool onComb = false;
    const bool tracking =
        m_trackMode == TTrackMode::ColorComb || m_trackMode == TTrackMode::GrayComb;
    if (leftButtonDown && tracking && m_customChoice != 0) {
      color = CustomChoiceColor(m_customChoice, GrayCombs(), ColorCombs());
      onComb = true;
    } else if (m_layout.GreyArea.Contains(x, y) || m_layout.CombArea.Contains(x, y)) {
      int k = m_layout.GreyArea.Contains(x, y) ? GrayCombAt(m_layout, GrayCombs(), x, y) : -1;
      if (k >= 0) {
        color = m_grayCombs[size_t(k)].Color;
        onComb = true;
      } else if ((k = ColorCombAt(m_layout, ColorCombs(), x, y)) >= 0) {
        color = m_colorCombs[size_t(k)].Color;
        onComb = true;
      }
    }
    if (onComb) {
      hint.Text = QStringLiteral("red: %1, green: %2, blue: %3")
                      .arg(RedOf(color))
                      .arg(GreenOf(color))
                      .arg(BlueOf(color));
      hint.Area = here;
      hint.Timeout = HintTimeout;
      return hint;
    }
  }
  if (m_owner->OnHint) m_owner->OnHint(m_owner, CellNone, hint.Text);
  hint.Area = rect();
  return hint.Text.isEmpty() ? std::nullopt : std::optional<THint>(hint);
}

void TColorPopup::ShowHint(QPoint pos, bool leftButtonDown) {
  const std::optional<THint> hint = HintAt(pos, leftButtonDown);
  if (!hint) {
    QToolTip::hideText();
    return;
  }
  QToolTip::showText(mapToGlobal(hint->Pos), hint->Text, this, hint->Area, hint->Timeout);
}

bool TColorPopup::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    m_owner->RunGuarded([&] { ShowHint(help->pos(), m_leftDown); });
    return true;
  }
  return QWidget::event(event);
}

// ---- Painting ----

void TColorPopup::paintEvent(QPaintEvent*) {
  QPainter p(this);
  PaintPopup(p);
}

QColor TColorPopup::CellBackground(int cell) const {
  const QPalette& pal = palette();
  return cell == m_selectedCell && cell != m_hoverCell ? ButtonHighlight(pal) : ButtonFace(pal);
}

// Selected: sunken; hovered: sunken while the left button is down, else raised.
void TColorPopup::PaintStateEdge(QPainter& p, int cell, const TRect& r) {
  if (cell == m_selectedCell || (cell == m_hoverCell && m_leftDown))
    DrawEdge(p, r, EdgeSunken, palette());
  else if (cell == m_hoverCell)
    DrawEdge(p, r, EdgeRaised, palette());
}

void TColorPopup::PaintCell(QPainter& p, int cell) {
  const TRect r = CellRect(m_layout, cell);
  FillRect(p, r, CellBackground(cell));
  PaintStateEdge(p, cell, r);
  const int inset = m_layout.Edge + 1;
  OutlinedRect(p, r.Inflated(-inset, -inset), QColor(0x80, 0x80, 0x80),
               ToQColor(CellColor(cell), QApplication::palette()));
}

void TColorPopup::PaintDefaultButton(QPainter& p) {
  const TRect& r = m_layout.DefaultButton;
  const QPalette& pal = palette();
  FillRect(p, r, CellBackground(CellDefault));
  PaintStateEdge(p, CellDefault, r.Inflated(-1, -1));
  const int inset = m_layout.Edge + 1;
  FrameRect(p, r.Inflated(-inset, -inset), ButtonShadow(pal));
  p.setPen(pal.color(QPalette::ButtonText));
  p.drawText(ToQRect(r), TextFlags, m_defaultText);
}

void TColorPopup::PaintCustomButton(QPainter& p) {
  const TRect& r = m_layout.CustomButton;
  const QPalette& pal = palette();
  FillRect(p, r, CellBackground(CellCustom));
  const int lineY = r.Top - 2 * m_layout.Edge;
  DrawEdge(p, {r.Left, lineY, r.Right, lineY + 2}, EdgeEtched, pal, SideTop);
  PaintStateEdge(p, CellCustom, r.Inflated(-1, 0));
  p.setPen(pal.color(QPalette::ButtonText));
  p.drawText(ToQRect(r), TextFlags, m_customText);
  if (m_customChoice != 0) {
    EnsureCombs();
    const TColor c = CustomChoiceColor(m_customChoice, m_grayCombs, m_colorCombs);
    OutlinedRect(p, m_layout.Sample, QColor(0x80, 0x80, 0x80), ToQColor(c, pal));
  } else {
    FrameRect(p, m_layout.Sample, ButtonShadow(pal));
  }
}

// Drawn into an off-screen image as wide as the popup that holds the comb area, the greys and
// the intensity bar, then copied below the buttons.
void TColorPopup::PaintCustomSection(QPainter& p) {
  EnsureCombs();
  const TPopupLayout& l = m_layout;
  const int top = l.CombArea.Top;
  QImage image(std::max(1, width()), l.CombArea.Height() + l.GreyArea.Height() + 2 * l.Edge,
               QImage::Format_RGB32);
  image.fill(ButtonFace(palette()));
  {
    QPainter ip(&image);
    ip.translate(0, -top);  // popup coordinates
    ip.setPen(Qt::NoPen);
    const int cx = l.CombArea.Left + l.Radius, cy = l.CombArea.Top + l.Radius;
    for (const TComb& comb : m_colorCombs) {
      ip.setBrush(ToQColor(comb.Color, palette()));
      ip.drawPolygon(HexagonPolygon(cx + comb.X, cy + comb.Y, l.CombSize));
    }
    if (m_customChoice > 0 && size_t(m_customChoice) <= m_colorCombs.size()) {
      const TComb& comb = m_colorCombs[size_t(m_customChoice - 1)];
      OutlineComb(ip, HexagonPolygon(cx + comb.X, cy + comb.Y, l.CombSize));
    }
    auto greySize = [&](size_t i) {
      return i == 0 || i + 1 == m_grayCombs.size() ? 2 * l.CombSize : l.CombSize;
    };
    ip.setPen(Qt::NoPen);
    for (size_t i = 0; i < m_grayCombs.size(); ++i) {
      const TComb& comb = m_grayCombs[i];
      ip.setBrush(ToQColor(comb.Color, palette()));
      ip.drawPolygon(
          HexagonPolygon(l.GreyArea.Left + comb.X, l.GreyArea.Top + comb.Y, greySize(i)));
    }
    if (m_customChoice < 0 && size_t(-m_customChoice) <= m_grayCombs.size()) {
      const size_t i = size_t(-m_customChoice - 1);
      const TComb& comb = m_grayCombs[i];
      OutlineComb(ip,
                  HexagonPolygon(l.GreyArea.Left + comb.X, l.GreyArea.Top + comb.Y, greySize(i)));
    }

    // The intensity bar, white at the top to black at the bottom, and its marker.
    const TRect& bar = l.IntensityBar;
    const int n = bar.Height() - 1;
    for (int k = 0; k <= n; ++k) {
      const int grey = IntensityBarGrey(n, k);
      ip.fillRect(bar.Left, bar.Top + k, 10, 1, QColor(grey, grey, grey));
    }
    const int m = IntensityMarkerY(l, m_intensity);
    QPolygon marker;
    marker << QPoint(bar.Left + 11, m) << QPoint(bar.Left + 16, m - 3)
           << QPoint(bar.Left + 16, m + 3);
    ip.setPen(Qt::black);
    ip.setBrush(Qt::black);
    ip.drawPolygon(marker);
  }
  p.drawImage(0, top, image);
}

void TColorPopup::PaintPopup(QPainter& p) {
  EnsureCombs();
  const QPalette& pal = palette();
  p.setFont(QApplication::font());
  p.fillRect(rect(), ButtonFace(pal));
  if (m_layout.HasDefault) PaintDefaultButton(p);
  for (int cell = 0; cell < StandardCellCount; ++cell)
    PaintCell(p, cell);
  if (m_layout.ShowSystemColors) {
    // The etched line runs in the gap below the standard cells, 2 pixels under them: edge +
    // rows x cell below the cells' top (the default button's bottom, or 2 x edge without it).
    const int cellsTop = m_layout.HasDefault ? m_layout.DefaultButton.Bottom : 2 * m_layout.Edge;
    const int y = m_layout.Edge + m_layout.Rows * m_layout.CellSize + cellsTop;
    const int x0 = m_layout.Edge + m_layout.Spacing;
    DrawEdge(p, {x0, y, width() - m_layout.Edge - m_layout.Spacing, y + 2}, EdgeEtched, pal,
             SideTop);
    for (int cell = FirstSystemCell; cell < FirstSystemCell + SystemCellCount; ++cell)
      PaintCell(p, cell);
  }
  if (m_layout.HasCustom) PaintCustomButton(p);
  if (m_selectedCell == CellCustom) PaintCustomSection(p);
  DrawEdge(p, {0, 0, width(), height()}, EdgeRaised, pal);
}

}  // namespace aiimport
