#include "docking/TToolbarButton.h"

#include <QApplication>
#include <QBitmap>
#include <QDialog>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <QtMath>

#include <algorithm>

namespace docking {
namespace {

// Process-wide: the button under the mouse and the one timer that notices when the mouse left it.
QPointer<TToolbarButton> g_underMouse;
QTimer* g_leaveTimer = nullptr;

QTimer* leaveTimer()
{
    if (!g_leaveTimer) {
        g_leaveTimer = new QTimer(qApp);
        g_leaveTimer->setInterval(125);
    }
    return g_leaveTimer;
}

// The 8x8 down-state pattern, made again only when one of its two colours has changed.
const QPixmap& checkerPattern(const QColor& face, const QColor& highlight)
{
    static QPixmap pattern;
    static QColor madeFace, madeHighlight;
    if (pattern.isNull() || face != madeFace || highlight != madeHighlight) {
        QImage img(8, 8, QImage::Format_RGB32);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                img.setPixel(x, y, (checkerIsHighlight(x, y) ? highlight : face).rgb());
        pattern = QPixmap::fromImage(img);
        madeFace = face;
        madeHighlight = highlight;
    }
    return pattern;
}

}  // namespace

TToolbarButton::TToolbarButton(QWidget* parent) : QWidget(parent), repeatTimer_(new QTimer(this))
{
    resize(22, 23);
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover, false);
    connect(repeatTimer_, &QTimer::timeout, this, &TToolbarButton::repeatTick);
}

TToolbarButton::~TToolbarButton()
{
    if (g_underMouse == this)
        g_underMouse = nullptr;
}

TToolbarButton* TToolbarButton::buttonUnderMouse() { return g_underMouse; }

// ---- Properties ----

void TToolbarButton::setGlyph(const QPixmap& strip)
{
    glyph_ = strip;
    update();
}

void TToolbarButton::setNumGlyphs(int n)
{
    numGlyphs_ = std::clamp(n, 1, 5);
    logic_.setNumGlyphs(numGlyphs_);
    update();
}

void TToolbarButton::setGlyphMask(const QPixmap& mask)
{
    glyphMask_ = mask;
    update();
}

void TToolbarButton::setGroupIndex(int g)
{
    logic_.setGroupIndex(g);
    groupPass(logic_.down());
    update();
}

void TToolbarButton::setAllowAllUp(bool a)
{
    logic_.setAllowAllUp(a);
    groupPass(logic_.down());
}

void TToolbarButton::setDown(bool v)
{
    if (!logic_.setDown(v))
        return;
    update();
    if (v)
        groupPass(true);
}

void TToolbarButton::groupPass(bool raiseOthers)
{
    if (logic_.groupIndex() == 0 || !parentWidget())
        return;
    for (TToolbarButton* b : parentWidget()->findChildren<TToolbarButton*>(Qt::FindDirectChildrenOnly)) {
        if (b == this || b->logic_.groupIndex() != logic_.groupIndex())
            continue;
        if (raiseOthers) {
            if (b->logic_.raiseByGroup(logic_.allowAllUp()))
                b->update();
        } else {
            b->logic_.setAllowAllUp(logic_.allowAllUp());
        }
    }
}

void TToolbarButton::setFlat(bool f)
{
    flat_ = f;
    logic_.setFlat(f);
    update();
}

void TToolbarButton::setOpaque(bool o)
{
    opaque_ = o;
    update();
}

void TToolbarButton::setNoBorder(bool n)
{
    noBorder_ = n;
    update();
}

void TToolbarButton::setHighlightWhenDown(bool h)
{
    highlightWhenDown_ = h;
    update();
}

void TToolbarButton::setDisplayMode(ButtonDisplayMode m)
{
    displayMode_ = m;
    update();
}

void TToolbarButton::setGlyphLayout(ButtonLayout l)
{
    layout_ = l;
    update();
}

void TToolbarButton::setMargin(int m)
{
    margin_ = m;
    update();
}

void TToolbarButton::setSpacing(int s)
{
    spacing_ = s;
    update();
}

void TToolbarButton::setWordWrap(bool w)
{
    wordWrap_ = w;
    update();
}

void TToolbarButton::setRepeating(bool r)
{
    repeating_ = r;
    logic_.setRepeating(r);
}

void TToolbarButton::setColor(ColorValue c)
{
    color_ = c;
    update();
}

void TToolbarButton::setCaption(const QString& c)
{
    caption_ = c;
    updateShortcuts();
    update();
}

void TToolbarButton::setHint(const QString& h)
{
    hint_ = h;
    setToolTip(showHint_ ? hint_ : QString());
}

void TToolbarButton::setShowHint(bool s)
{
    showHint_ = s;
    setToolTip(showHint_ ? hint_ : QString());
}

void TToolbarButton::setDefault(bool d)
{
    default_ = d;
    updateShortcuts();
}

void TToolbarButton::setCancel(bool c)
{
    cancel_ = c;
    updateShortcuts();
}

// ---- Keyboard ----

bool TToolbarButton::keyClickAllowed() const
{
    const QWidget* parent = parentWidget();
    return isEnabled() && isVisible() && parent && parent->isEnabled() && parent->isVisible();
}

void TToolbarButton::updateShortcuts()
{
    delete accelerator_;
    accelerator_ = nullptr;
    const QKeySequence mnemonic = QKeySequence::mnemonic(caption_);
    if (!mnemonic.isEmpty()) {
        accelerator_ = new QShortcut(mnemonic, this);
        connect(accelerator_, &QShortcut::activated, this, [this] {
            if (displayMode_ != dmGlyphOnly && keyClickAllowed())
                click();
        });
    }
    for (QShortcut*& s : defaultKey_) {
        delete s;
        s = nullptr;
    }
    if (default_) {
        const Qt::Key keys[2] = {Qt::Key_Return, Qt::Key_Enter};
        for (int i = 0; i < 2; ++i) {
            defaultKey_[i] = new QShortcut(QKeySequence(keys[i]), this);
            connect(defaultKey_[i], &QShortcut::activated, this, [this] {
                if (keyClickAllowed())
                    click();
            });
        }
    }
    delete cancelKey_;
    cancelKey_ = nullptr;
    if (cancel_) {
        cancelKey_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
        connect(cancelKey_, &QShortcut::activated, this, [this] {
            if (keyClickAllowed())
                click();
        });
    }
}

// ---- Mouse ----

void TToolbarButton::apply(const ButtonEffects& fx)
{
    if (fx.repaint)
        update();
    if (fx.mouseEntered) {
        emit mouseEntered();
        leaveTimer()->start();
    }
    if (fx.mouseExited)
        emit mouseExited();
}

void TToolbarButton::mouseEntering()
{
    if (g_underMouse != this) {
        if (TToolbarButton* previous = g_underMouse)
            previous->mouseLeaving();
        g_underMouse = this;
        QObject::disconnect(leaveTimer(), &QTimer::timeout, nullptr, nullptr);
        connect(leaveTimer(), &QTimer::timeout, this, &TToolbarButton::checkMouseLeft);
    }
    const bool active = showBorderWhenInactive_ || QApplication::activeWindow() != nullptr;
    apply(logic_.mouseEnter(active));
}

void TToolbarButton::mouseLeaving()
{
    apply(logic_.mouseLeave());
    if (!logic_.mouseIn() && g_underMouse == this) {
        g_underMouse = nullptr;
        leaveTimer()->stop();
    }
}

void TToolbarButton::checkMouseLeft()
{
    if (!logic_.mouseIn())
        return;
    if (QApplication::widgetAt(QCursor::pos()) != this)
        mouseLeaving();
}

void TToolbarButton::enterEvent(QEnterEvent*) { mouseEntering(); }

void TToolbarButton::leaveEvent(QEvent*) { mouseLeaving(); }

void TToolbarButton::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || !isEnabled()) {
        QWidget::mousePressEvent(e);
        return;
    }
    if (g_underMouse != this)
        mouseEntering();
    pointerInside_ = true;
    const ButtonEffects fx = logic_.press();
    apply(fx);
    if (fx.click)
        click();
    if (fx.startRepeat) {
        repeatTimer_->setSingleShot(true);
        repeatTimer_->start(repeatDelay_);
    }
}

void TToolbarButton::mouseMoveEvent(QMouseEvent* e)
{
    pointerInside_ = rect().contains(e->position().toPoint());
    if (logic_.mouseHeld())
        apply(logic_.moveWhileHeld(pointerInside_));
    else if (pointerInside_ && !logic_.mouseIn())
        mouseEntering();
}

void TToolbarButton::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || !logic_.mouseHeld()) {
        QWidget::mouseReleaseEvent(e);
        return;
    }
    repeatTimer_->stop();
    const ButtonEffects fx = logic_.release(rect().contains(e->position().toPoint()));
    apply(fx);
    if (fx.click)
        click();
    else if (!logic_.mouseIn() && g_underMouse == this)
        g_underMouse = nullptr;
}

void TToolbarButton::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && isEnabled()) {
        emit doubleClicked();
        // The second press of a double click presses the button like the first.
        mousePressEvent(e);
        return;
    }
    QWidget::mouseDoubleClickEvent(e);
}

void TToolbarButton::repeatTick()
{
    if (!logic_.mouseHeld()) {
        repeatTimer_->stop();
        return;
    }
    if (repeatTimer_->isSingleShot()) {
        repeatTimer_->setSingleShot(false);
        repeatTimer_->start(repeatInterval_);
    }
    if (pointerInside_)
        click();
}

void TToolbarButton::click()
{
    QPointer<TToolbarButton> self(this);
    logic_.beginClick();
    if (logic_.groupIndex() != 0)
        setDown(!logic_.down());
    apply(logic_.afterDownToggled());
    if (modalResult_ != 0)
        if (auto* dialog = qobject_cast<QDialog*>(window()))
            dialog->done(modalResult_);
    emit clicked();
    if (!self)
        return;  // the handler closed the window that held the button
    apply(logic_.endClick());
    checkMouseLeft();
}

void TToolbarButton::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::EnabledChange) {
        if (!isEnabled())
            repeatTimer_->stop();
        apply(logic_.setEnabled(isEnabled()));
    }
    QWidget::changeEvent(e);
}

// ---- Painting ----

QPixmap TToolbarButton::imageAt(int index) const
{
    if (glyph_.isNull())
        return {};
    const int w = glyph_.width() / numGlyphs_;
    QPixmap image = glyph_.copy(index * w, 0, w, glyph_.height());
    if (!glyphMask_.isNull())
        image.setMask(QBitmap::fromPixmap(glyphMask_.copy(index * w, 0, w, glyphMask_.height())));
    return image;
}

QPixmap TToolbarButton::currentImage() const
{
    const int index = currentGlyphIndex();
    if (index >= 0) {
        // The strips are drawn for a light face; on a dark one their dark outlines would vanish.
        QPixmap image = imageAt(index);
        const QColor face = toQColor(color_, palette());
        if (image.isNull() || face.lightness() >= palette().color(QPalette::ButtonText).lightness())
            return image;
        QPixmap legible = QPixmap::fromImage(legibleGlyph(image.toImage(), face, qCeil(image.devicePixelRatio())));
        legible.setDevicePixelRatio(image.devicePixelRatio());
        return legible;
    }
    QPixmap first = imageAt(0);
    if (first.isNull())
        return first;
    // The style's washed-out rendering suits a light face; on a dark one it leaves the glyph's dark
    // strokes invisible and its light fill bright, so it reads as enabled.
    const QColor face = systemColor(clBtnFace, palette());
    const QColor ink = palette().color(QPalette::Disabled, QPalette::ButtonText);
    if (face.lightness() < ink.lightness()) {
        QPixmap shape = QPixmap::fromImage(disabledGlyph(first.toImage(), ink));
        shape.setDevicePixelRatio(first.devicePixelRatio());
        return shape;
    }
    QStyleOption opt;
    opt.initFrom(this);
    return style()->generatedIconPixmap(QIcon::Disabled, first, &opt);
}

void TToolbarButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (opaque_ || !flat_) {
        // Drawn off-screen and copied in one piece, so that the button never flickers.
        const qreal dpr = devicePixelRatioF();
        QPixmap buffer(size() * dpr);
        buffer.setDevicePixelRatio(dpr);
        buffer.fill(toQColor(color_, palette()));
        QPainter bp(&buffer);
        paintContents(bp);
        bp.end();
        p.drawPixmap(0, 0, buffer);
    } else {
        paintContents(p);
    }
}

void TToolbarButton::paintContents(QPainter& p)
{
    const QPalette& pal = palette();
    const ButtonFrame frame = buttonFrame({logic_.state(), flat_, noBorder_, logic_.mouseIn(), highlightWhenDown_});
    QRect r = rect();
    if (frame.drawn) {
        if (frame.fillMiddle)
            p.fillRect(r, systemColor(clBtnFace, pal));
        QRect ring = r;
        for (const EdgeRing& e : frame.rings) {
            const QColor tl = systemColor(e.topLeft, pal);
            const QColor br = systemColor(e.bottomRight, pal);
            p.fillRect(QRect(ring.left(), ring.top(), ring.width(), 1), tl);
            p.fillRect(QRect(ring.left(), ring.top(), 1, ring.height()), tl);
            p.fillRect(QRect(ring.left(), ring.bottom(), ring.width(), 1), br);
            p.fillRect(QRect(ring.right(), ring.top(), 1, ring.height()), br);
            ring.adjust(1, 1, -1, -1);
        }
    }
    const int inset = frame.contentInset;
    const QRect content = r.adjusted(inset, inset, -inset, -inset);
    if (frame.checkered) {
        p.save();
        p.setBrushOrigin(0, 0);
        p.fillRect(content, QBrush(checkerPattern(systemColor(clBtnFace, pal), systemColor(clBtnHighlight, pal))));
        p.restore();
    }

    const QRect area = content.translated(frame.contentShift, frame.contentShift);
    const QPixmap image = displayMode_ == dmTextOnly ? QPixmap() : currentImage();
    const QString text = displayMode_ == dmGlyphOnly ? QString() : caption_;
    const QSize is = image.isNull() ? QSize() : image.deviceIndependentSize().toSize();
    const int textFlags = Qt::TextShowMnemonic | (wordWrap_ ? Qt::TextWordWrap : 0);
    const QSize ts =
        text.isEmpty() ? QSize() : p.fontMetrics().boundingRect(area, textFlags | Qt::AlignCenter, text).size();
    const int gap = (!is.isEmpty() && !ts.isEmpty()) ? spacing_ : 0;
    const bool horizontal = layout_ == blGlyphLeft || layout_ == blGlyphRight;
    const int total = horizontal ? is.width() + gap + ts.width() : is.height() + gap + ts.height();
    const int room = horizontal ? area.width() : area.height();
    const int start = (margin_ < 0 ? (room - total) / 2 : margin_) + (horizontal ? area.left() : area.top());

    QRect imageRect, textRect;
    if (horizontal) {
        const bool imageFirst = layout_ == blGlyphLeft;
        const int imageX = imageFirst ? start : start + ts.width() + gap;
        const int textX = imageFirst ? start + is.width() + gap : start;
        imageRect = QRect(QPoint(imageX, area.top() + (area.height() - is.height()) / 2), is);
        textRect = QRect(QPoint(textX, area.top() + (area.height() - ts.height()) / 2), ts);
    } else {
        const bool imageFirst = layout_ == blGlyphTop;
        const int imageY = imageFirst ? start : start + ts.height() + gap;
        const int textY = imageFirst ? start + is.height() + gap : start;
        imageRect = QRect(QPoint(area.left() + (area.width() - is.width()) / 2, imageY), is);
        textRect = QRect(QPoint(area.left() + (area.width() - ts.width()) / 2, textY), ts);
    }
    if (!image.isNull())
        p.drawPixmap(imageRect.topLeft(), image);
    if (!text.isEmpty()) {
        p.setPen(isEnabled() ? pal.color(QPalette::ButtonText) : pal.color(QPalette::Disabled, QPalette::ButtonText));
        p.drawText(textRect, textFlags | Qt::AlignCenter, text);
    }
}

}  // namespace docking
