#pragma once
// A toolbar button: an image from a strip of up to five (one per visual state), an optional caption,
// a flat frame that appears under the mouse, and exclusive groups of buttons that stay down.

#include "docking/ButtonLogic.h"
#include "docking/DockColors.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>

class QShortcut;
class QTimer;

namespace docking {

enum ButtonDisplayMode { dmBoth, dmGlyphOnly, dmTextOnly };
enum ButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

class TToolbarButton : public QWidget {
    Q_OBJECT
public:
    explicit TToolbarButton(QWidget* parent);
    ~TToolbarButton() override;

    QPixmap glyph() const { return glyph_; }
    void setGlyph(const QPixmap& strip);
    int numGlyphs() const { return numGlyphs_; }
    void setNumGlyphs(int n);  // 1 to 5
    QPixmap glyphMask() const { return glyphMask_; }
    void setGlyphMask(const QPixmap& mask);

    int groupIndex() const { return logic_.groupIndex(); }
    void setGroupIndex(int g);
    bool down() const { return logic_.down(); }
    void setDown(bool v);
    bool allowAllUp() const { return logic_.allowAllUp(); }
    void setAllowAllUp(bool a);

    bool flat() const { return flat_; }
    void setFlat(bool f);
    bool opaque() const { return opaque_; }
    void setOpaque(bool o);
    bool noBorder() const { return noBorder_; }
    void setNoBorder(bool n);
    bool highlightWhenDown() const { return highlightWhenDown_; }
    void setHighlightWhenDown(bool h);
    bool showBorderWhenInactive() const { return showBorderWhenInactive_; }
    void setShowBorderWhenInactive(bool s) { showBorderWhenInactive_ = s; }
    ButtonDisplayMode displayMode() const { return displayMode_; }
    void setDisplayMode(ButtonDisplayMode m);
    ButtonLayout glyphLayout() const { return layout_; }
    void setGlyphLayout(ButtonLayout l);
    int margin() const { return margin_; }
    void setMargin(int m);
    int spacing() const { return spacing_; }
    void setSpacing(int s);
    bool wordWrap() const { return wordWrap_; }
    void setWordWrap(bool w);

    bool repeating() const { return repeating_; }
    void setRepeating(bool r);
    int repeatDelay() const { return repeatDelay_; }
    void setRepeatDelay(int ms) { repeatDelay_ = ms; }
    int repeatInterval() const { return repeatInterval_; }
    void setRepeatInterval(int ms) { repeatInterval_ = ms; }

    ColorValue color() const { return color_; }
    void setColor(ColorValue c);
    QString caption() const { return caption_; }
    void setCaption(const QString& c);
    QString hint() const { return hint_; }
    void setHint(const QString& h);
    bool showHint() const { return showHint_; }
    void setShowHint(bool s);
    int modalResult() const { return modalResult_; }
    void setModalResult(int r) { modalResult_ = r; }
    bool isDefault() const { return default_; }
    void setDefault(bool d);
    bool cancel() const { return cancel_; }
    void setCancel(bool c);
    int helpContext() const { return helpContext_; }
    void setHelpContext(int h) { helpContext_ = h; }

    ButtonState state() const { return logic_.state(); }
    bool mouseInside() const { return logic_.mouseIn(); }
    // The image drawn for the current state (a generated one when disabled without its own image).
    QPixmap currentImage() const;
    int currentGlyphIndex() const { return glyphIndexFor(logic_.state(), numGlyphs_); }

    // Runs the click sequence: group toggling, the modal result, then clicked().
    void click();

    // The button under the mouse, checked every 125 ms by one timer shared by all buttons.
    static TToolbarButton* buttonUnderMouse();

signals:
    void clicked();        // OnClick
    void doubleClicked();  // OnDblClick
    void mouseEntered();   // OnMouseEnter
    void mouseExited();    // OnMouseExit

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void apply(const ButtonEffects& fx);
    void mouseEntering();
    void mouseLeaving();
    void checkMouseLeft();
    void groupPass(bool raiseOthers);
    void updateShortcuts();
    bool keyClickAllowed() const;
    void repeatTick();
    void paintContents(QPainter& p);
    QPixmap imageAt(int index) const;

    ButtonLogic logic_;
    QPixmap glyph_;
    QPixmap glyphMask_;
    int numGlyphs_ = 1;
    bool flat_ = true;
    bool opaque_ = true;
    bool noBorder_ = false;
    bool highlightWhenDown_ = true;
    bool showBorderWhenInactive_ = false;
    ButtonDisplayMode displayMode_ = dmBoth;
    ButtonLayout layout_ = blGlyphLeft;
    int margin_ = -1;
    int spacing_ = 4;
    bool wordWrap_ = false;
    bool repeating_ = false;
    int repeatDelay_ = 400;
    int repeatInterval_ = 100;
    ColorValue color_ = kClBtnFace;
    QString caption_;
    QString hint_;
    bool showHint_ = true;
    int modalResult_ = 0;
    bool default_ = false;
    bool cancel_ = false;
    int helpContext_ = 0;
    bool pointerInside_ = false;
    QTimer* repeatTimer_;
    QShortcut* accelerator_ = nullptr;
    QShortcut* defaultKey_[2] = {nullptr, nullptr};
    QShortcut* cancelKey_ = nullptr;
};

}  // namespace docking
