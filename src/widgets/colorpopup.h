// TColorPopup: the drop-down colour chooser of TColorPickerButton. A grid of 40 named colours,
// optionally the 25 system colours, an optional default button and an optional custom button
// that opens the custom section: a honeycomb of mixed colours, a row of greys and an intensity
// bar. The button owns the popup, opens and closes it; the popup reports back by accepting
// (the button takes the chosen colour) or cancelling.
//
// On screen the popup is a frameless top-level tool window that stays on top and does not take
// the activation. While it is open it holds the mouse and keyboard grab, so every mouse event
// of the application arrives here in popup coordinates (a press outside the popup cancels) and
// every key press comes here too. The window's shortcuts wait meanwhile: the popup takes every
// key, Esc included, as the keyboard's only user.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>
#include <optional>

#include "colorpickerlogic.h"

class QPainter;

namespace aiimport {

class TColorPickerButton;

class TColorPopup : public QWidget {
  Q_OBJECT

 public:
  explicit TColorPopup(TColorPickerButton* owner);
  ~TColorPopup() override;

  const TPopupLayout& Layout() const { return m_layout; }
  int HoverCell() const { return m_hoverCell; }
  int SelectedCell() const { return m_selectedCell; }
  int CustomChoice() const { return m_customChoice; }
  TTrackMode TrackMode() const { return m_trackMode; }
  float Intensity() const { return m_intensity; }

  // The combs, built when missing (the colour combs are discarded by an intensity change).
  const TCombArray& ColorCombs();
  const TCombArray& GrayCombs();
  bool CombsBuilt() const { return !m_colorCombs.empty(); }

  // The owner's texts and options; each change redoes the layout and, while the popup shows,
  // re-places and repaints it.
  void SetDefaultText(const QString& text);
  void SetCustomText(const QString& text);
  void SetShowSystemColors(bool show);
  void SetSpacing(int spacing);

  // Selects the cell for a colour (and the custom choice when the colour is found in the
  // custom section).
  void SelectColor(TColor color);
  // Makes `cell` the selected cell; selecting or leaving the custom cell re-places the popup.
  void SelectCell(int cell);

  // Opened and closed by the owner only.
  void Open(TColor color);
  void Close();

  // Paints the whole popup as it looks now (the paint event and the tests use it).
  void PaintPopup(QPainter& p);

  // The hint for a pointer position, as the popup shows it (none when the owner's ShowHint is
  // off or there is nothing to say). Pos is where the hint goes, in popup coordinates.
  struct THint {
    QString Text;
    QRect Area;  // the hint stays while the pointer is inside
    QPoint Pos;
    int Timeout = -1;  // ms; -1: the platform's
  };
  std::optional<THint> HintAt(QPoint pos, bool leftButtonDown);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;
  // While open: every shortcut override of the application is accepted, so that no shortcut
  // of the window behind fires and the key press comes to the popup instead.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void UpdateLayout();
  void Place();
  void EnsureCombs();
  void SetHoverCell(int cell);
  void TrackCustom(QPoint pos);
  void Accept();
  void Cancel();
  void ShowHint(QPoint pos, bool leftButtonDown);

  void PaintCell(QPainter& p, int cell);
  void PaintStateEdge(QPainter& p, int cell, const TRect& r);
  void PaintDefaultButton(QPainter& p);
  void PaintCustomButton(QPainter& p);
  void PaintCustomSection(QPainter& p);
  QColor CellBackground(int cell) const;

  TColorPickerButton* m_owner;
  QString m_defaultText, m_customText;
  bool m_showSystemColors = false;
  int m_spacing = 8;
  TPopupLayout m_layout;

  int m_hoverCell = CellNone;
  int m_selectedCell = CellNone;
  int m_customChoice = 0;
  TTrackMode m_trackMode = TTrackMode::None;
  bool m_leftDown = false;
  bool m_wasActive = false;

  float m_centreRed = 1, m_centreGreen = 1, m_centreBlue = 1;
  float m_intensity = 1;
  TCombArray m_colorCombs, m_grayCombs;
};

}  // namespace aiimport
