#include "colorpickerbutton.h"

#include <QAction>
#include <QApplication>
#include <QBitmap>
#include <QCursor>
#include <QIcon>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcutEvent>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolTip>
#include <QtGlobal>

#include "colorpopup.h"
#include "paintsupport.h"

namespace aiimport {

TColorPickerButton::TColorPickerButton(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);  // a speed button never takes the focus
  resize(45, 22);
  m_popup = new TColorPopup(this);
  m_popup->SetSpacing(m_popupSpacing);
  // The application losing the activation closes an open popup, as a cancel.
  connect(qApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) {
            if (state != Qt::ApplicationActive && m_droppedDown)
              RunGuarded([this] { SetDroppedDown(false); });
          });
}

TColorPickerButton::~TColorPickerButton() {
  // The popup goes first, while this button is still whole: closing and destroying a window
  // can change the application's activation, which must find the button closed and deaf.
  disconnect(qApp, nullptr, this, nullptr);
  if (m_droppedDown) {
    m_droppedDown = false;
    m_popup->Close();
  }
  delete m_popup;
  m_popup = nullptr;
}

void TColorPickerButton::RunGuarded(const std::function<void()>& body) {
  QString message;
  try {
    body();
    return;
  } catch (const std::exception& e) {
    message = QString::fromLocal8Bit(e.what());
  } catch (...) {
    message = QStringLiteral("Unknown error");
  }
  // Never leave the popup holding the grab after a failure.
  if (m_droppedDown) {
    m_droppedDown = false;
    m_state = m_down ? TButtonState::bsExclusive : TButtonState::bsUp;
    m_popup->Close();
    update();
  }
  if (OnError) {
    try {
      OnError(this, message);
      return;
    } catch (...) {
    }
  }
  qCritical("%s", qPrintable(message));
}

// ---- Properties ----

void TColorPickerButton::SetSelectionColor(TColor color) {
  if (color == m_selectionColor) return;
  m_selectionColor = color;
  update();
  if (m_droppedDown) m_popup->SelectColor(color);
  Q_EMIT colorChanged(color);
  if (OnChange) OnChange(this);
}

void TColorPickerButton::SetCustomText(const QString& text) {
  if (text == m_customText) return;
  m_customText = text;
  m_popup->SetCustomText(text);
}

void TColorPickerButton::SetDefaultText(const QString& text) {
  if (text == m_defaultText) return;
  m_defaultText = text;
  m_popup->SetDefaultText(text);
}

void TColorPickerButton::SetShowSystemColors(bool show) {
  if (show == m_showSystemColors) return;
  m_showSystemColors = show;
  m_popup->SetShowSystemColors(show);
}

void TColorPickerButton::SetPopupSpacing(int spacing) {
  spacing = std::max(0, spacing);
  if (spacing == m_popupSpacing) return;
  m_popupSpacing = spacing;
  m_popup->SetSpacing(spacing);
}

void TColorPickerButton::SetDropDownWidth(int width) {
  if (width == m_dropDownWidth) return;
  m_dropDownWidth = width;
  update();
}

void TColorPickerButton::SetDropDownArrowColor(TColor color) {
  if (color == m_dropDownArrowColor) return;
  m_dropDownArrowColor = color;
  update();
}

void TColorPickerButton::SetIndicatorBorder(TIndicatorBorder border) {
  if (border == m_indicatorBorder) return;
  m_indicatorBorder = border;
  update();
}

void TColorPickerButton::SetFlat(bool flat) {
  if (flat == m_flat) return;
  m_flat = flat;
  update();
}

void TColorPickerButton::SetTransparent(bool transparent) {
  if (transparent == m_transparent) return;
  m_transparent = transparent;
  update();
}

void TColorPickerButton::SetSpacing(int spacing) {
  if (spacing == m_spacing) return;
  m_spacing = spacing;
  update();
}

void TColorPickerButton::SetMargin(int margin) {
  if (margin == m_margin || margin < -1) return;
  m_margin = margin;
  update();
}

void TColorPickerButton::SetLayout(TButtonLayout layout) {
  if (layout == m_layout) return;
  m_layout = layout;
  update();
}

void TColorPickerButton::SetGlyph(const QPixmap& glyph) {
  m_glyph = glyph;
  m_glyphCacheValid = false;
  update();
}

void TColorPickerButton::SetNumGlyphs(int count) {
  count = std::clamp(count, 1, 4);
  if (count == m_numGlyphs) return;
  m_numGlyphs = count;
  m_glyphCacheValid = false;
  update();
}

void TColorPickerButton::SetGroupIndex(int index) {
  if (index == m_groupIndex) return;
  m_groupIndex = index;
  UpdateExclusive();
}

void TColorPickerButton::SetDown(bool down) {
  if (m_groupIndex == 0) down = false;
  if (down == m_down) return;
  if (m_down && !m_allowAllUp) return;  // the group keeps one button down
  m_down = down;
  if (isEnabled()) m_state = down ? TButtonState::bsExclusive : TButtonState::bsUp;
  update();
  if (down) UpdateExclusive();
}

void TColorPickerButton::SetAllowAllUp(bool allow) {
  if (allow == m_allowAllUp) return;
  m_allowAllUp = allow;
  UpdateExclusive();
}

// A button of a group that is down releases the other down button of its group among its
// siblings; every button of the group shares its AllowAllUp.
void TColorPickerButton::UpdateExclusive() {
  if (m_groupIndex == 0 || !parentWidget()) return;
  const auto siblings =
      parentWidget()->findChildren<TColorPickerButton*>(Qt::FindDirectChildrenOnly);
  for (TColorPickerButton* other : siblings) {
    if (other == this || other->m_groupIndex != m_groupIndex) continue;
    if (m_down && other->m_down) {
      other->m_down = false;
      if (other->isEnabled()) other->m_state = TButtonState::bsUp;
      other->update();
    }
    other->m_allowAllUp = m_allowAllUp;
  }
}

void TColorPickerButton::SetCaption(const QString& caption) {
  if (caption == m_caption) return;
  m_caption = caption;
  UpdateShortcut();
  update();
}

void TColorPickerButton::UpdateShortcut() {
  if (m_shortcutId != 0) releaseShortcut(m_shortcutId);
  m_shortcutId = 0;
  const QKeySequence key = QKeySequence::mnemonic(m_caption);
  if (!key.isEmpty()) m_shortcutId = grabShortcut(key, Qt::WindowShortcut);
}

void TColorPickerButton::SetShowHint(bool show) {
  m_showHint = show;
}

void TColorPickerButton::SetHint(const QString& hint) {
  m_hint = hint;
}

void TColorPickerButton::SetAction(QAction* action) {
  if (action == m_action) return;
  if (m_action) disconnect(m_action, nullptr, this, nullptr);
  m_action = action;
  if (m_action) {
    connect(m_action, &QAction::changed, this, [this] { ActionChanged(); });
    ActionChanged();
  }
}

void TColorPickerButton::ActionChanged() {
  if (!m_action) return;
  SetCaption(m_action->text());
  setEnabled(m_action->isEnabled());
  setVisible(m_action->isVisible());
  SetHint(m_action->toolTip());
  const QIcon icon = m_action->icon();
  if (m_glyph.isNull() && !icon.isNull()) {
    // The image goes into the glyph on the glyph's transparent colour.
    const QList<QSize> sizes = icon.availableSizes();
    const QSize size = sizes.isEmpty() ? QSize(16, 16) : sizes.first();
    QPixmap glyph(size);
    glyph.fill(QColor(0xFF, 0x00, 0xFF));
    QPainter p(&glyph);
    icon.paint(&p, QRect(QPoint(0, 0), size));
    p.end();
    SetGlyph(glyph);
  }
}

void TColorPickerButton::SetDroppedDown(bool dropped) {
  if (dropped == m_droppedDown) return;
  bool allowed = true;
  if (OnDropChanging) OnDropChanging(this, allowed);
  if (!allowed) return;
  m_droppedDown = dropped;
  if (dropped) {
    m_state = TButtonState::bsDown;
    m_popup->Open(m_selectionColor);
  } else {
    // A group's button that is down stays shown down.
    m_state = m_down ? TButtonState::bsExclusive : TButtonState::bsUp;
    m_popup->Close();
    UpdateMouseInControl();
  }
  if (OnDropChanged) OnDropChanged(this);
  update();
}

void TColorPickerButton::DefaultSelect() {
  if (OnDefaultSelect) OnDefaultSelect(this);
}

void TColorPickerButton::Click() {
  if (OnClick)
    OnClick(this);
  else if (m_action)
    m_action->trigger();
}

// ---- Mouse ----

bool TColorPickerButton::Inside(int x, int y) const {
  return x >= 0 && x < width() && y >= 0 && y <= height();
}

void TColorPickerButton::UpdateMouseInControl() {
  const bool over = isEnabled() && isVisible() && rect().contains(mapFromGlobal(QCursor::pos()));
  if (over != m_mouseInControl) {
    m_mouseInControl = over;
    update();
  }
}

void TColorPickerButton::mousePressEvent(QMouseEvent* event) {
  RunGuarded([&] {
    const QPoint pos = event->position().toPoint();
    if (OnMouseDown) OnMouseDown(this, event->button(), event->modifiers(), pos.x(), pos.y());
    if (event->button() != Qt::LeftButton || !isEnabled()) return;
    if (pos.x() > width() - m_dropDownWidth) {
      m_pressInZone = true;
      if (!m_droppedDown) SetDroppedDown(true);
      update();
      return;
    }
    m_pressInZone = false;
    if (!m_down) m_state = TButtonState::bsDown;
    m_tracking = true;
    update();
  });
}

void TColorPickerButton::mouseMoveEvent(QMouseEvent* event) {
  RunGuarded([&] {
    const QPoint pos = event->position().toPoint();
    if (OnMouseMove) OnMouseMove(this, event->modifiers(), pos.x(), pos.y());
    if (!m_tracking) return;
    TButtonState state = m_down ? TButtonState::bsExclusive : TButtonState::bsUp;
    if (Inside(pos.x(), pos.y())) state = m_down ? TButtonState::bsExclusive : TButtonState::bsDown;
    if (state != m_state) {
      m_state = state;
      update();
    }
  });
}

void TColorPickerButton::mouseReleaseEvent(QMouseEvent* event) {
  RunGuarded([&] {
    const QPoint pos = event->position().toPoint();
    if (OnMouseUp) OnMouseUp(this, event->button(), event->modifiers(), pos.x(), pos.y());
    if (event->button() != Qt::LeftButton || !m_tracking) return;
    m_tracking = false;
    const bool click = Inside(pos.x(), pos.y());
    if (m_groupIndex == 0) {
      m_state = TButtonState::bsUp;
    } else if (click) {
      SetDown(!m_down);
    } else if (m_down) {
      m_state = TButtonState::bsExclusive;
    }
    update();
    if (m_flat) UpdateMouseInControl();
    if (click) Click();
  });
}

void TColorPickerButton::mouseDoubleClickEvent(QMouseEvent* event) {
  mousePressEvent(event);
  RunGuarded([&] {
    if (event->button() == Qt::LeftButton && m_down && OnDblClick) OnDblClick(this);
  });
}

void TColorPickerButton::enterEvent(QEnterEvent* event) {
  // Not while another control holds the mouse (the open popup, for one).
  if (!m_mouseInControl && isEnabled() && !QWidget::mouseGrabber()) {
    m_mouseInControl = true;
    if (m_flat) update();
  }
  QWidget::enterEvent(event);
}

void TColorPickerButton::leaveEvent(QEvent* event) {
  if (m_mouseInControl && isEnabled() && !m_tracking) {
    m_mouseInControl = false;
    if (m_flat) update();
  }
  QWidget::leaveEvent(event);
}

void TColorPickerButton::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) {
    if (!isEnabled()) {
      m_tracking = false;
      m_mouseInControl = false;
      if (m_droppedDown) RunGuarded([this] { SetDroppedDown(false); });
      m_state = TButtonState::bsDisabled;
    } else {
      m_state = m_down ? TButtonState::bsExclusive : TButtonState::bsUp;
    }
    update();
  }
  QWidget::changeEvent(event);
}

bool TColorPickerButton::event(QEvent* event) {
  if (event->type() == QEvent::Shortcut) {
    // The caption's accelerator clicks an enabled, visible button whose parent shows.
    const auto* shortcut = static_cast<QShortcutEvent*>(event);
    if (shortcut->shortcutId() == m_shortcutId && isEnabled() && isVisible() &&
        (!parentWidget() || parentWidget()->isVisible())) {
      RunGuarded([this] { Click(); });
    }
    return true;
  }
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    if (m_showHint && !m_hint.isEmpty())
      QToolTip::showText(help->globalPos(), m_hint, this);
    else
      QToolTip::hideText();
    return true;
  }
  return QWidget::event(event);
}

// ---- Painting ----

void TColorPickerButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  Paint(p);
}

void TColorPickerButton::PaintDivider(QPainter& p, bool pressed) {
  const TDivider d = DividerLines(width(), height(), m_dropDownWidth, pressed);
  FillRect(p, {d.HighlightX, d.Top, d.HighlightX + 1, d.Bottom}, ButtonHighlight(palette()));
  FillRect(p, {d.HighlightX - 1, d.Top, d.HighlightX, d.Bottom}, ButtonShadow(palette()));
}

// The frame: flat buttons show a thin edge only while down or under the mouse, 3-D buttons the
// style's push-button panel. After a press in the drop-down zone the zone gets its own edge.
// `client` comes back as the face inside the frame.
void TColorPickerButton::PaintFrame(QPainter& p, TRect& client) {
  const QPalette& pal = palette();
  const int w = width(), h = height();
  const TRect zone = DropDownZone(w, h, m_dropDownWidth);
  const bool down = m_state == TButtonState::bsDown || m_state == TButtonState::bsExclusive;
  if (m_flat) {
    const bool frame = down || (m_mouseInControl && isEnabled());
    if (frame) {
      if (!m_pressInZone) {
        if (!m_transparent) FillRect(p, client, ButtonFace(pal));
        DrawEdge(p, client, down ? SunkenOuter : RaisedInner, pal);
        PaintDivider(p, down);
      } else if (m_droppedDown) {
        DrawEdge(p, client, RaisedInner, pal);
        DrawEdge(p, zone, SunkenOuter, pal);
      } else {
        DrawEdge(p, client, RaisedInner, pal);
        DrawEdge(p, zone, RaisedInner, pal);
        PaintDivider(p, false);
      }
    } else if (!m_transparent) {
      FillRect(p, client, ButtonFace(pal));
    }
    client = client.Inflated(-1, -1);
    return;
  }

  auto panel = [&](const TRect& r, bool sunken) {
    QStyleOptionButton option;
    option.initFrom(this);
    option.rect = ToQRect(r);
    option.state |= sunken ? QStyle::State_Sunken : QStyle::State_Raised;
    if (!isEnabled()) option.state &= ~QStyle::State_Enabled;
    style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &p, this);
  };
  if (!m_pressInZone) {
    panel(client, down);
    PaintDivider(p, down);
  } else if (m_droppedDown) {
    panel(client, false);
    panel(zone, true);
  } else {
    panel(client, false);
    panel(zone, false);
    PaintDivider(p, false);
  }
  client = client.Inflated(-2, -2);
}

void TColorPickerButton::PaintIndicator(QPainter& p, const TRect& r) {
  if (r.IsEmpty()) return;
  const QPalette& pal = palette();
  const QColor color = ToQColor(m_selectionColor, QApplication::palette());
  switch (m_indicatorBorder) {
    case TIndicatorBorder::ibNone:
      FillRect(p, r, color);
      break;
    case TIndicatorBorder::ibFlat:
      OutlinedRect(p, r, ButtonShadow(pal), color);
      break;
    case TIndicatorBorder::ibSunken:
      DrawEdge(p, r, SunkenOuter, pal);
      FillRect(p, r.Inflated(-1, -1), color);
      break;
    case TIndicatorBorder::ibRaised:
      DrawEdge(p, r, RaisedInner, pal);
      FillRect(p, r.Inflated(-1, -1), color);
      break;
  }
}

// A downward triangle (x, y), (x + 6, y), (x + 3, y + 3), filled and outlined in the arrow
// colour, row by row as the platform fills it; disabled, the inside only, in the shadow colour.
void TColorPickerButton::PaintArrow(QPainter& p) {
  TPoint o = ArrowOrigin(width(), height(), m_dropDownWidth);
  if ((m_droppedDown && m_pressInZone) || m_state == TButtonState::bsDown) {
    ++o.X;
    ++o.Y;
  }
  if (isEnabled()) {
    const QColor color = ToQColor(m_dropDownArrowColor, QApplication::palette());
    for (int i = 0; i <= 3; ++i)
      FillRect(p, {o.X + i, o.Y + i, o.X + 7 - i, o.Y + i + 1}, color);
  } else {
    const QColor color = ButtonShadow(palette());
    for (int i = 0; i < 3; ++i)
      FillRect(p, {o.X + i, o.Y + i, o.X + 6 - i, o.Y + i + 1}, color);
  }
}

void TColorPickerButton::PaintCaption(QPainter& p, const TRect& r) {
  if (m_caption.isEmpty() || r.IsEmpty()) return;
  const int flags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
  p.setFont(font());
  if (isEnabled()) {
    p.setPen(palette().color(QPalette::ButtonText));
    p.drawText(ToQRect(r), flags, m_caption);
  } else {
    // Disabled: etched, a highlight copy one pixel down and right under a shadow copy.
    p.setPen(ButtonHighlight(palette()));
    p.drawText(ToQRect(r.Moved(1, 1)), flags, m_caption);
    p.setPen(ButtonShadow(palette()));
    p.drawText(ToQRect(r), flags, m_caption);
  }
}

// The image for a state: image i of the strip (up 0, disabled 1, down 2, exclusive 3) when the
// strip has it, else the up image; the disabled look made from the up image by the style when
// the strip has no disabled image. Without an alpha channel, the colour of the bottom-left
// pixel is transparent. Cached until the glyph changes.
QPixmap TColorPickerButton::GlyphFor(TButtonState state) const {
  if (m_glyph.isNull()) return {};
  if (!m_glyphCacheValid) {
    const int w = m_glyph.width() / m_numGlyphs, h = m_glyph.height();
    auto image = [&](int i) {
      QPixmap part = m_glyph.copy(i * w, 0, w, h);
      if (!part.hasAlphaChannel() && w > 0 && h > 0) {
        const QImage img = part.toImage();
        part.setMask(
            QBitmap::fromImage(img.createMaskFromColor(img.pixel(0, h - 1), Qt::MaskInColor)));
      }
      return part;
    };
    m_glyphCache[0] = image(0);
    if (m_numGlyphs > 1) {
      m_glyphCache[1] = image(1);
    } else {
      QStyleOption option;
      option.initFrom(this);
      m_glyphCache[1] = style()->generatedIconPixmap(QIcon::Disabled, m_glyphCache[0], &option);
    }
    m_glyphCache[2] = m_numGlyphs > 2 ? image(2) : m_glyphCache[0];
    m_glyphCache[3] = m_numGlyphs > 3 ? image(3) : m_glyphCache[0];
    m_glyphCacheValid = true;
  }
  return m_glyphCache[size_t(state)];
}

void TColorPickerButton::Paint(QPainter& p) {
  TRect client{0, 0, width(), height()};
  PaintFrame(p, client);

  if (m_state == TButtonState::bsExclusive && (!m_flat || !m_mouseInControl)) {
    FillRect(p, client, ButtonFace(palette()));
    p.fillRect(ToQRect(client), QBrush(ButtonHighlight(palette()), Qt::Dense4Pattern));
  }

  const QPixmap glyph = GlyphFor(m_state);
  const QSize text =
      m_caption.isEmpty()
          ? QSize()
          : QFontMetrics(font()).size(Qt::TextSingleLine | Qt::TextShowMnemonic, m_caption);
  TFaceInput in;
  in.Client = client;
  in.DropDownWidth = m_dropDownWidth;
  in.GlyphWidth = glyph.isNull() ? 0 : glyph.width();
  in.GlyphHeight = glyph.isNull() ? 0 : glyph.height();
  in.TextWidth = text.width();
  in.TextHeight = text.height();
  in.Layout = m_layout;
  in.Margin = m_margin;
  in.Spacing = m_spacing;
  // Glyph and caption move by (1, 1) while the main face is pressed.
  in.Offset = m_state == TButtonState::bsDown && !m_pressInZone ? 1 : 0;
  const TFaceLayout face = ComputeFaceLayout(in);

  if (!glyph.isNull()) p.drawPixmap(face.Glyph.Left, face.Glyph.Top, glyph);
  PaintCaption(p, face.Text);
  PaintIndicator(p, face.Indicator);
  PaintArrow(p);
}

}  // namespace aiimport
