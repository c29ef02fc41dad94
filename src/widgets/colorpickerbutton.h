// TColorPickerButton: a tool-bar button that shows a colour and drops down a colour chooser
// (TColorPopup) from the zone at its right end. A press on the main face clicks the button
// (OnClick); a press in the drop-down zone opens the popup, and a colour accepted there becomes
// SelectionColor (OnChange). It paints like a flat or 3-D speed button, with an optional glyph
// and caption, the colour indicator, the divider and the arrow, and it can be one of a group of
// buttons of which one is down.
//
// Colour values stay 0x00BBGGRR at this interface (0x80000000 + n: system colour n). The
// events are plain function members, named and shaped as the form knows them; each gets the
// button as its sender.
//
// For Qt code the colour is also the property `color` with the signal colorChanged. It is the
// same colour value as an int, not a QColor: a system colour passes through unchanged (a QColor
// could hold only what the palette makes of it now), and writing back what was read gives the
// same value. colorChanged is emitted whenever SelectionColor changes (by SetSelectionColor, the
// property or the popup), right before OnChange.
#pragma once

#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <exception>
#include <functional>

#include "colorpickerlogic.h"

class QAction;
class QPainter;

namespace aiimport {

class TColorPopup;

class TColorPickerButton : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int color READ SelectionColor WRITE SetSelectionColor NOTIFY colorChanged)

 public:
  using TNotifyEvent = std::function<void(TColorPickerButton* Sender)>;
  using TDropChangingEvent = std::function<void(TColorPickerButton* Sender, bool& Allowed)>;
  using THintEvent = std::function<void(TColorPickerButton* Sender, int Cell, QString& Hint)>;
  using TMouseEvent = std::function<void(TColorPickerButton* Sender, Qt::MouseButton Button,
                                         Qt::KeyboardModifiers Shift, int X, int Y)>;
  using TMouseMoveEvent =
      std::function<void(TColorPickerButton* Sender, Qt::KeyboardModifiers Shift, int X, int Y)>;
  // Told about an exception that escaped one of the events above while the button handled a
  // Qt event (where it must not travel further). Without it the message goes to qCritical.
  using TErrorEvent = std::function<void(TColorPickerButton* Sender, const QString& Message)>;

  enum class TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

  explicit TColorPickerButton(QWidget* parent = nullptr);
  ~TColorPickerButton() override;

  // ---- Properties ----
  TColor SelectionColor() const { return m_selectionColor; }
  // A different value is stored, shown, marked in an open popup, and fires colorChanged and
  // OnChange.
  void SetSelectionColor(TColor color);

  QString CustomText() const { return m_customText; }
  void SetCustomText(const QString& text);  // empty: no custom button
  QString DefaultText() const { return m_defaultText; }
  void SetDefaultText(const QString& text);  // empty: no default button
  bool ShowSystemColors() const { return m_showSystemColors; }
  void SetShowSystemColors(bool show);
  int PopupSpacing() const { return m_popupSpacing; }
  void SetPopupSpacing(int spacing);  // below 0 becomes 0

  int DropDownWidth() const { return m_dropDownWidth; }
  void SetDropDownWidth(int width);
  TColor DropDownArrowColor() const { return m_dropDownArrowColor; }
  void SetDropDownArrowColor(TColor color);
  TIndicatorBorder IndicatorBorder() const { return m_indicatorBorder; }
  void SetIndicatorBorder(TIndicatorBorder border);
  bool Flat() const { return m_flat; }
  void SetFlat(bool flat);
  bool Transparent() const { return m_transparent; }
  void SetTransparent(bool transparent);
  int Spacing() const { return m_spacing; }
  void SetSpacing(int spacing);
  int Margin() const { return m_margin; }
  void SetMargin(int margin);  // below -1 is refused
  TButtonLayout Layout() const { return m_layout; }
  void SetLayout(TButtonLayout layout);

  // The glyph: NumGlyphs images side by side for the up, disabled, down and exclusive states.
  QPixmap Glyph() const { return m_glyph; }
  void SetGlyph(const QPixmap& glyph);
  int NumGlyphs() const { return m_numGlyphs; }
  void SetNumGlyphs(int count);  // 1..4

  int GroupIndex() const { return m_groupIndex; }
  void SetGroupIndex(int index);
  bool Down() const { return m_down; }
  void SetDown(bool down);  // only in a group; a down button stays down unless AllowAllUp
  bool AllowAllUp() const { return m_allowAllUp; }
  void SetAllowAllUp(bool allow);

  QString Caption() const { return m_caption; }
  void SetCaption(const QString& caption);  // "&" marks the accelerator
  bool ShowHint() const { return m_showHint; }
  void SetShowHint(bool show);
  QString Hint() const { return m_hint; }
  void SetHint(const QString& hint);
  // Bound to an action: its text, enabled and visible states and tool tip follow the action,
  // its icon becomes the glyph when there is none, and a click without OnClick triggers it.
  QAction* Action() const { return m_action; }
  void SetAction(QAction* action);

  bool DroppedDown() const { return m_droppedDown; }
  // Opens or closes the popup, asking OnDropChanging first and telling OnDropChanged after.
  void SetDroppedDown(bool dropped);

  TButtonState State() const { return m_state; }
  TColorPopup* Popup() const { return m_popup; }

  // Clicks the button: OnClick, or the action's trigger without one.
  void Click();

  QSize sizeHint() const override { return QSize(45, 22); }

  // ---- Events ----
  TNotifyEvent OnChange;              // SelectionColor changed
  TNotifyEvent OnClick;               // main face clicked
  TNotifyEvent OnDblClick;            // double click while Down
  TNotifyEvent OnDefaultSelect;       // the default entry, or no cell, was accepted
  TDropChangingEvent OnDropChanging;  // before the popup opens or closes; may refuse
  TNotifyEvent OnDropChanged;         // after
  THintEvent OnHint;  // hint for the default (-3) and custom (-2) buttons and no cell (-1)
  TMouseEvent OnMouseDown, OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TErrorEvent OnError;

 Q_SIGNALS:
  void colorChanged(int color);  // SelectionColor changed (the property `color`)

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  friend class TColorPopup;

  // Runs `body` (which may call the events) and reports an exception that escapes it.
  void RunGuarded(const std::function<void()>& body);
  void DefaultSelect();

  void Paint(QPainter& p);
  void PaintFrame(QPainter& p, TRect& client);
  void PaintDivider(QPainter& p, bool pressed);
  void PaintIndicator(QPainter& p, const TRect& r);
  void PaintArrow(QPainter& p);
  void PaintCaption(QPainter& p, const TRect& r);
  QPixmap GlyphFor(TButtonState state) const;
  void UpdateExclusive();
  void UpdateShortcut();
  void UpdateMouseInControl();
  void ActionChanged();
  bool Inside(int x, int y) const;

  TColor m_selectionColor = 0;
  QString m_customText, m_defaultText;
  bool m_showSystemColors = false;
  int m_popupSpacing = 8;
  int m_dropDownWidth = 15;
  TColor m_dropDownArrowColor = 0;
  TIndicatorBorder m_indicatorBorder = TIndicatorBorder::ibFlat;
  bool m_flat = false;
  bool m_transparent = true;
  int m_spacing = 4;
  int m_margin = -1;
  TButtonLayout m_layout = TButtonLayout::blGlyphLeft;
  QPixmap m_glyph;
  int m_numGlyphs = 1;
  mutable std::array<QPixmap, 4> m_glyphCache;
  mutable bool m_glyphCacheValid = false;
  int m_groupIndex = 0;
  bool m_down = false;
  bool m_allowAllUp = false;
  QString m_caption;
  bool m_showHint = true;
  QString m_hint;
  QPointer<QAction> m_action;
  int m_shortcutId = 0;

  TButtonState m_state = TButtonState::bsUp;
  bool m_mouseInControl = false;
  bool m_tracking = false;     // a press on the main face is being followed
  bool m_pressInZone = false;  // the last press was in the drop-down zone
  bool m_droppedDown = false;
  TColorPopup* m_popup = nullptr;
};

}  // namespace aiimport
