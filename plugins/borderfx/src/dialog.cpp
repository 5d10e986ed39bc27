// The parameter dialog: template 110 converted from dialog units, the edits with their up-downs,
// the swatches, the direction pictures and the live preview.
#include "dialog.h"
#include "dialogwindow.h"
#include "librarydialog.h"
#include "magicdialog.h"
#include "texturelib.h"

#include "messages.h"

#include "imagelib/scabout.h"
#include "imagelib/tv32comm.h"
#include "imagelib/tv32qt.h"
#include "imagelib/tv32txtur.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace borderfx {

// Two arrow buttons at the right edge of an edit: each press (and each repeat while held)
// moves the edit's number by 1, after 2 s by 10, after 3 s by 50, within 0 .. maximum.
class UpDown : public QWidget {
  public:
    UpDown(QWidget* parent, QLineEdit* buddy) : QWidget(parent), buddy_(buddy) {
        up_ = new QToolButton(this);
        down_ = new QToolButton(this);
        for (QToolButton* b : {up_, down_}) {
            b->setAutoRepeat(true);
            b->setAutoRepeatDelay(400);
            b->setAutoRepeatInterval(60);
            b->setFocusPolicy(Qt::NoFocus);
            connect(b, &QToolButton::pressed, this, [this] { held_.start(); });
        }
        up_->setArrowType(Qt::UpArrow);
        down_->setArrowType(Qt::DownArrow);
        connect(up_, &QToolButton::clicked, this, [this] { step(+1); });
        connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
    }
    void setMaximum(int32_t maximum) { maximum_ = maximum; }
    int32_t maximum() const { return maximum_; }
    void step(int sign) {
        const int32_t by =
            held_.isValid() && (up_->isDown() || down_->isDown()) ? AccelStep(held_.elapsed()) : 1;
        buddy_->setText(FormatEditInt(StepValue(ParseEditInt(buddy_->text()), sign * by, maximum_)));
    }

  protected:
    void resizeEvent(QResizeEvent*) override {
        const int h = height() / 2;
        up_->setGeometry(0, 0, width(), h);
        down_->setGeometry(0, h, width(), height() - h);
    }

  private:
    QLineEdit* buddy_;
    QToolButton *up_, *down_;
    QElapsedTimer held_;
    int32_t maximum_ = 0;
};

namespace {

DialogHook& hook() {
    static DialogHook h;
    return h;
}

// An edit that takes digits only and steps its up-down with the arrow keys.
class NumberEdit : public QLineEdit {
  public:
    explicit NumberEdit(QWidget* parent) : QLineEdit(parent) {
        setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
        setMaxLength(258);
    }
    UpDown* upDown = nullptr;

  protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (upDown && (e->key() == Qt::Key_Up || e->key() == Qt::Key_Down)) {
            upDown->step(e->key() == Qt::Key_Up ? 1 : -1);
            return;
        }
        QLineEdit::keyPressEvent(e);
    }
};

TV32RECT toRect(const QRect& r) {
    return TV32RECT{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}
QRect toQRect(const TV32RECT& r) {
    return QRect(r.left, r.top, RectWidth(r), RectHeight(r));
}
bool inside(const TV32RECT& r, QPoint p) {
    return p.x() >= r.left && p.x() < r.right && p.y() >= r.top && p.y() < r.bottom;
}

} // namespace

QCursor FrameShadowDialog::pipetteCursor() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // Glass tube from the tip at (8, 23) up to the right, rubber bulb at the top.
    QPen outline(Qt::white, 5, Qt::SolidLine, Qt::RoundCap);
    p.setPen(outline);
    p.drawLine(QPointF(8.5, 23.5), QPointF(20, 12));
    p.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8.5, 23.5), QPointF(20, 12));
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(23, 9), 4.5, 4.5);
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(QPointF(16, 10), QPointF(22, 16));
    p.end();
    return QCursor(pm, 8, 23);
}

QPixmap FrameShadowDialog::directionPixmap(int direction, QSize size) {
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    const int w = size.width() * 2 / 3, h = size.height() * 2 / 3;
    const int dx = size.width() - w, dy = size.height() - h;
    const bool right = direction == BFX_SHADOW_UP_RIGHT || direction == BFX_SHADOW_DOWN_RIGHT;
    const bool down = direction == BFX_SHADOW_DOWN_LEFT || direction == BFX_SHADOW_DOWN_RIGHT;
    const QRect image(right ? 0 : dx, down ? 0 : dy, w, h);
    p.fillRect(image.translated(right ? dx : -dx, down ? dy : -dy), QColor(64, 64, 64));
    p.fillRect(image, QColor(255, 255, 255));
    p.setPen(QColor(0, 0, 128));
    p.drawRect(image.adjusted(0, 0, -1, -1));
    p.fillRect(image.adjusted(3, 3, -3, -3), QColor(120, 170, 220));
    return pm;
}

FrameShadowDialog::FrameShadowDialog(QWidget* parent, PlugInRecord* record)
    : QDialog(parent), record_(record) {
    setObjectName(QStringLiteral("110"));
    setWindowTitle(QString::fromUtf8(StringText(kCaptionId)));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    setFont(font);
    base_ = DialogBaseOf(font);
    setMouseTracking(true);
    build();
    if (!openDialog()) failed_ = true;
}

FrameShadowDialog::~FrameShadowDialog() {
    qtimer_.stop();
    CloseHelp(tv32::handleOfWidget(this));
}

QRect FrameShadowDialog::px(int x, int y, int w, int h) const {
    const PixelRect r = DialogToPixels(x, y, w, h, base_);
    return QRect(r.x, r.y, r.w, r.h);
}

QWidget* FrameShadowDialog::control(int id) const {
    return findChild<QWidget*>(QString::number(id));
}

void FrameShadowDialog::build() {
    const QRect client = px(0, 0, 343, 198);
    setFixedSize(client.size());
    auto named = [](QWidget* w, int id) {
        w->setObjectName(QString::number(id));
        return w;
    };
    auto* frameGroup = new QGroupBox(this);
    frameGroup->setObjectName(QStringLiteral("frameGroup"));
    frameGroup->setGeometry(px(6, 3, 175, 68));
    auto* shadowGroup = new QGroupBox(this);
    shadowGroup->setObjectName(QStringLiteral("shadowGroup"));
    shadowGroup->setGeometry(px(6, 75, 175, 93));

    frameCheck_ = new QCheckBox(QStringLiteral("&Frame"), this);
    named(frameCheck_, 3057)->setGeometry(px(14, 4, 34, 10));
    shadowCheck_ = new QCheckBox(QStringLiteral("&Shadow"), this);
    named(shadowCheck_, 3058)->setGeometry(px(15, 76, 40, 10));
    for (QCheckBox* c : {frameCheck_, shadowCheck_}) {
        c->setAutoFillBackground(true); // covers the group's top edge behind the text
        c->raise();
    }
    colorRadio_ = new QRadioButton(QStringLiteral("&Color"), this);
    named(colorRadio_, 3001)->setGeometry(px(14, 22, 35, 10));
    textureRadio_ = new QRadioButton(QStringLiteral("&Texture"), this);
    named(textureRadio_, 3002)->setGeometry(px(14, 46, 37, 10));
    auto* fillGroup = new QButtonGroup(this);
    fillGroup->addButton(colorRadio_);
    fillGroup->addButton(textureRadio_);
    auto* widthLabel = new QLabel(QStringLiteral("&Width :"), this);
    named(widthLabel, 3007)->setGeometry(px(90, 23, 30, 10));
    widthLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    libraryButton_ = new QPushButton(QStringLiteral("&Library..."), this);
    named(libraryButton_, 3061)->setGeometry(px(107, 45, 50, 14));
    libraryButton_->setAutoDefault(false);

    auto addEdit = [&](int id, QRect editRect, QRect upDownRect, int32_t* field) {
        auto* edit = new NumberEdit(this);
        named(edit, id)->setGeometry(editRect);
        auto* ud = new UpDown(this, edit);
        named(ud, id + 1);
        // The up-down sits at the edit's right edge, as tall as the edit's rectangle allows.
        ud->setGeometry(editRect.right() + 1 - upDownRect.width(), editRect.y(), upDownRect.width(),
                        editRect.height());
        edit->setTextMargins(0, 0, upDownRect.width(), 0);
        ud->raise();
        edit->upDown = ud;
        edits_[id] = EditField{edit, ud, field};
    };
    FrameShadowParams& p = record_->params;
    addEdit(3008, px(120, 21, 41, 12), px(156, 20, 9, 14), &p.frameWidth);

    for (int d = 0; d < 4; ++d) {
        auto* radio = new QRadioButton(this);
        named(radio, 3013 + d)->setGeometry(px(35 + 35 * d, 92, 10, 10));
        directionRadios_[size_t(d)] = radio;
        auto* picture = new QLabel(this);
        named(picture, 3017 + d)->setGeometry(px(46 + 35 * d, 92, 18, 20));
        picture->setPixmap(directionPixmap(d, picture->size()));
        picture->setAttribute(Qt::WA_TransparentForMouseEvents);
        pictures_[size_t(d)] = picture->geometry();
    }
    auto* directionGroup = new QButtonGroup(this);
    for (QRadioButton* r : directionRadios_)
        directionGroup->addButton(r);

    auto label = [&](int id, const char* text, QRect r) {
        auto* l = new QLabel(QString::fromUtf8(text), this);
        named(l, id)->setGeometry(r);
        return l;
    };
    label(3021, "&X offset : ", px(16, 120, 28, 10));
    addEdit(3022, px(48, 120, 40, 12), px(78, 119, 6, 14), &p.shadowOffsetX);
    label(3024, "&Y offset : ", px(91, 120, 28, 10));
    addEdit(3025, px(123, 120, 40, 12), px(160, 120, 6, 14), &p.shadowOffsetY);
    label(3027, "Trans&parency : ", px(16, 135, 48, 10));
    addEdit(3028, px(80, 135, 41, 12), px(112, 135, 6, 14), &p.transparency);
    label(3030, "%(0..99)", px(120, 137, 30, 10));
    blendCheck_ = new QCheckBox(QStringLiteral("&Edge blending : "), this);
    named(blendCheck_, 3031)->setGeometry(px(16, 150, 62, 10));
    addEdit(3032, px(80, 150, 41, 12), px(112, 150, 6, 14), &p.blendWidth);
    label(3034, "Pixels", px(120, 151, 23, 10));
    label(3035, "(0 .. 150)", px(144, 151, 33, 10));
    // The dialog font draws a little wider than the template's: check boxes and radios keep
    // their whole text (the room after each allows it).
    for (QWidget* w : {static_cast<QWidget*>(frameCheck_), static_cast<QWidget*>(shadowCheck_),
                       static_cast<QWidget*>(colorRadio_), static_cast<QWidget*>(textureRadio_),
                       static_cast<QWidget*>(blendCheck_)})
        w->resize(std::max(w->width(), w->sizeHint().width()), w->height());
    // Labels give the keyboard focus to the edit after them.
    static_cast<QLabel*>(control(3007))->setBuddy(control(3008));
    static_cast<QLabel*>(control(3021))->setBuddy(control(3022));
    static_cast<QLabel*>(control(3024))->setBuddy(control(3025));
    static_cast<QLabel*>(control(3027))->setBuddy(control(3028));

    auto button = [&](int id, const char* text, QRect r) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        named(b, id)->setGeometry(r);
        b->setAutoDefault(false);
        return b;
    };
    okButton_ = button(1, "OK", px(127, 176, 48, 14));
    okButton_->setDefault(true);
    auto* cancel = button(2, "Cancel", px(181, 176, 48, 14));
    auto* help = button(3060, "&Help", px(235, 176, 48, 14));
    auto* about = button(3062, "&About", px(289, 176, 48, 14));

    // Places of the swatches and the preview (the placeholders themselves are not kept).
    frameSwatch_.rect = toRect(px(60, 19, 16, 17));
    textureSwatch_.rect = toRect(px(60, 42, 35, 22));
    shadowSwatch_.rect = toRect(px(13, 94, 16, 16));
    frameSwatch_.owner = shadowSwatch_.owner = textureSwatch_.owner = tv32::handleOfWidget(this);

    connect(okButton_, &QPushButton::clicked, this, [this] { pressOk(); });
    connect(cancel, &QPushButton::clicked, this, [this] { pressCancel(); });
    connect(help, &QPushButton::clicked, this, [this] { ShowHelp(tv32::handleOfWidget(this), 140); });
    connect(about, &QPushButton::clicked, this, [this] { ShowAboutBox(tv32::handleOfWidget(this)); });
    connect(libraryButton_, &QPushButton::clicked, this, [this] { libraryCommand(); });
    connect(frameCheck_, &QCheckBox::clicked, this, [this] { frameToggled(); });
    connect(shadowCheck_, &QCheckBox::clicked, this, [this] { shadowToggled(); });
    connect(blendCheck_, &QCheckBox::clicked, this, [this] { blendToggled(); });
    connect(colorRadio_, &QRadioButton::clicked, this, [this] { fillCommand(BFX_FILL_COLOR); });
    connect(textureRadio_, &QRadioButton::clicked, this, [this] { fillCommand(BFX_FILL_TEXTURE); });
    for (int d = 0; d < 4; ++d)
        connect(directionRadios_[size_t(d)], &QRadioButton::clicked, this,
                [this, d] { directionCommand(3013 + d); });
    qtimer_.setInterval(RefreshTimer::kIntervalMs);
    connect(&qtimer_, &QTimer::timeout, this, [this] { timerTick(); });
}

bool FrameShadowDialog::openDialog() {
    FrameShadowParams& p = record_->params;
    std::memcpy(&backup_, &p, sizeof backup_);

    const TV32RECT pane = toRect(px(187, 7, 150, 161));
    switch (SetupPreview(preview_, pane, *record_)) {
    case SetupResult::Ok:
        break;
    default:
        return false;
    }
    ScalePreviewParams(preview_, p);

    frameOn_ = p.frameWidth > 0;
    frameCheck_->setChecked(frameOn_);
    setEditInt(3008, p.frameWidth);
    frameSwatch_.color = p.frameColor;
    shadowOn_ = p.shadowOffsetX > 0 || p.shadowOffsetY > 0;
    shadowCheck_->setChecked(shadowOn_);
    shadowSwatch_.color = p.shadowColor;
    if (p.shadowDirection >= 0 && p.shadowDirection < 4)
        directionRadios_[size_t(p.shadowDirection)]->setChecked(true);
    colorRadio_->setChecked(p.frameFill == BFX_FILL_COLOR);
    textureRadio_->setChecked(p.frameFill == BFX_FILL_TEXTURE);
    setEditInt(3022, p.shadowOffsetX);
    setEditInt(3025, p.shadowOffsetY);
    setEditInt(3028, p.transparency);
    blendOn_ = p.blendWidth > 0;
    blendCheck_->setChecked(blendOn_);
    setEditInt(3032, p.blendWidth);
    // A textured frame needs a texture: the library's texture textureIndex when there is none.
    EnsureTexture(record_->textureIndex, &p.textureData);

    setOffsetLimits(p.shadowDirection);
    frameMax_ = FrameMaximum(preview_.selection, preview_.imageWidth, preview_.imageHeight);
    edits_[3008].upDown->setMaximum(frameMax_);
    edits_[3028].upDown->setMaximum(99);
    edits_[3032].upDown->setMaximum(150);
    for (auto& [id, e] : edits_) {
        const int editId = id;
        connect(e.edit, &QLineEdit::textChanged, this, [this, editId] { editChanged(editId); });
    }
    updateEnabling();
    adjustSize();
    tv32MoveWindow(tv32::handleOfWidget(this), TV32_PARENT_OF_WINDOW, 1);
    refreshPreview();
    return !failed_;
}

void FrameShadowDialog::fail() {
    failed_ = true;
    qtimer_.stop();
    if (isVisible()) done(0);
}

int FrameShadowDialog::run() {
    if (failed_) return 0;
    return exec() == 1 && !failed_ ? 1 : 0;
}

void FrameShadowDialog::setEditInt(int id, int32_t value) {
    edits_.at(id).edit->setText(FormatEditInt(value));
}

int32_t FrameShadowDialog::getEditInt(int id) const {
    return ParseEditInt(edits_.at(id).edit->text());
}

int32_t FrameShadowDialog::maximumOf(int id) const {
    switch (id) {
    case 3008:
        return frameMax_;
    case 3022:
        return limits_.xMax;
    case 3025:
        return limits_.yMax;
    case 3028:
        return 99;
    default:
        return 150;
    }
}

void FrameShadowDialog::editChanged(int id) {
    EditField& e = edits_.at(id);
    const int32_t maximum = maximumOf(id);
    switch (ApplyEditValue(getEditInt(id), *e.field, maximum)) {
    case EditOutcome::Unchanged:
        return;
    case EditOutcome::Stored:
        if (timer_.start(id)) qtimer_.start();
        if (id == 3008) setOffsetLimits(record_->params.shadowDirection);
        return;
    case EditOutcome::PutMaximum:
        setEditInt(id, maximum);
        return;
    }
}

void FrameShadowDialog::timerTick() {
    if (!timer_.running()) {
        qtimer_.stop();
        return;
    }
    if (timer_.tick(*edits_.at(timer_.id()).field)) {
        qtimer_.stop();
        refreshPreview();
    }
}

void FrameShadowDialog::setOffsetLimits(int32_t direction) {
    FrameShadowParams& p = record_->params;
    limits_ = ComputeOffsetLimits(preview_.selection, preview_.imageWidth, preview_.imageHeight, direction,
                                  p.frameWidth);
    edits_.at(3022).upDown->setMaximum(limits_.xMax);
    edits_.at(3025).upDown->setMaximum(limits_.yMax);
    if (p.shadowOffsetY > limits_.yMax) {
        p.shadowOffsetY = limits_.yMax;
        setEditInt(3025, p.shadowOffsetY);
    }
    if (p.shadowOffsetX > limits_.xMax) {
        p.shadowOffsetX = limits_.xMax;
        setEditInt(3022, p.shadowOffsetX);
    }
}

void FrameShadowDialog::updateEnabling() {
    for (int id : {3008, 3001, 3002, 3061})
        control(id)->setEnabled(frameOn_);
    for (int id : {3013, 3015, 3014, 3016, 3022, 3025, 3028, 3032, 3031})
        control(id)->setEnabled(shadowOn_);
    for (int id : {3022, 3025, 3028, 3032, 3008})
        edits_.at(id).upDown->setEnabled(control(id)->isEnabled());
    if (shadowOn_) {
        control(3032)->setEnabled(blendOn_);
        edits_.at(3032).upDown->setEnabled(blendOn_);
    }
    okButton_->setEnabled(frameOn_ || shadowOn_);
}

void FrameShadowDialog::frameToggled() {
    frameOn_ = frameCheck_->isChecked();
    updateEnabling();
    refreshPreview();
}

void FrameShadowDialog::shadowToggled() {
    shadowOn_ = shadowCheck_->isChecked();
    updateEnabling();
    refreshPreview();
}

void FrameShadowDialog::blendToggled() {
    blendOn_ = blendCheck_->isChecked();
    updateEnabling();
    refreshPreview();
}

void FrameShadowDialog::fillCommand(int32_t fill) {
    if (record_->params.frameFill == fill) return;
    record_->params.frameFill = fill;
    refreshPreview();
}

void FrameShadowDialog::directionCommand(int id) {
    const int32_t direction = id - 3013;
    if (direction == record_->params.shadowDirection) return;
    record_->params.shadowDirection = direction;
    setOffsetLimits(direction);
    refreshPreview();
}

void FrameShadowDialog::libraryCommand() {
    FrameShadowParams& p = record_->params;
    void* backup = nullptr;
    if (p.textureData) tv32TextureDataDuplicate(p.textureData, &backup);
    const int32_t index = record_->textureIndex;
    int result = 2;
    {
        TextureLibraryDialog library(this, record_);
        result = library.run();
    }
    // "&Options...": the variations of the texture just taken decide instead.
    if (result == 3121) {
        MagicTexturesDialog variations(this, p.textureData);
        result = variations.run();
    }
    if (result == 1) {
        if (backup) tv32TextureDataFree(backup);
        textureRadio_->setChecked(true);
        p.frameFill = BFX_FILL_TEXTURE;
        refreshPreview();
    } else if (backup) {
        record_->textureIndex = index;
        if (p.textureData) tv32TextureDataFree(p.textureData);
        p.textureData = backup;
    }
    update(toQRect(textureSwatch_.rect));
}

bool FrameShadowDialog::takeLibraryTexture(int32_t n) {
    if (!LoadedLibrary()) LoadTextureLibrary(BuildLibraryPath());
    void* texture = nullptr;
    if (!LoadLibraryTexture(LoadedLibrary(), n, &texture)) return false;
    FrameShadowParams& p = record_->params;
    if (p.textureData) tv32TextureDataFree(p.textureData);
    p.textureData = texture;
    record_->textureIndex = n;
    update(toQRect(textureSwatch_.rect));
    refreshPreview();
    return true;
}

void FrameShadowDialog::refreshPreview() {
    if (failed_) return;
    ++refreshes_;
    if (!RenderPreview(preview_, *record_, PreviewSwitches{frameOn_, shadowOn_, blendOn_})) {
        ShowError(kInsufficientMemoryId, nullptr);
        fail();
        return;
    }
    update(toQRect(preview_.view));
}

void FrameShadowDialog::readDialogValues() {
    FrameShadowParams& p = record_->params;
    frameOn_ = frameCheck_->isChecked();
    shadowOn_ = shadowCheck_->isChecked();
    p.frameWidth = frameOn_ ? getEditInt(3008) : 0;
    if (shadowOn_) {
        p.shadowColor = shadowSwatch_.color;
        p.frameColor = frameSwatch_.color;
        p.shadowOffsetX = getEditInt(3022);
        p.shadowOffsetY = getEditInt(3025);
        p.transparency = getEditInt(3028);
        p.blendWidth = blendCheck_->isChecked() ? getEditInt(3032) : 0;
    } else {
        p.shadowOffsetX = p.shadowOffsetY = p.blendWidth = 0;
    }
}

void FrameShadowDialog::pressOk() {
    if (ending_ || failed_) return;
    ending_ = true;
    qtimer_.stop();
    readDialogValues();
    done(1);
}

void FrameShadowDialog::pressCancel() {
    if (ending_) return;
    ending_ = true;
    qtimer_.stop();
    // Every field comes back but the texture object: the one held now stays (the call releases
    // it later), since the pickers may have released the one the backup names.
    void* texture = record_->params.textureData;
    std::memcpy(&record_->params, &backup_, sizeof backup_);
    record_->params.textureData = texture;
    c32SetDLLErrInfo(0, 0, 5200, 0, 0, 0);
    done(0);
}

void FrameShadowDialog::reject() {
    pressCancel();
}

QRect FrameShadowDialog::directionPicture(int index) const {
    return pictures_.at(size_t(index));
}

void FrameShadowDialog::chooseFrameColor(const uint32_t* preset) {
    colorRadio_->setChecked(true);
    uint32_t color = frameSwatch_.color;
    const int chosen =
        preset ? (color = *preset, 1) : tv32ChooseColorEx(tv32::handleOfWidget(this), &color, 0, 0);
    if (chosen) {
        frameSwatch_.color = color;
        update(toQRect(frameSwatch_.rect));
    }
    // Picking the frame colour makes the frame solid, whether or not a colour was chosen.
    record_->params.frameColor = frameSwatch_.color;
    record_->params.frameFill = BFX_FILL_COLOR;
    refreshPreview();
}

void FrameShadowDialog::chooseShadowColor(const uint32_t* preset) {
    uint32_t color = shadowSwatch_.color;
    const int chosen =
        preset ? (color = *preset, 1) : tv32ChooseColorEx(tv32::handleOfWidget(this), &color, 0, 0);
    if (!chosen) return;
    shadowSwatch_.color = color;
    update(toQRect(shadowSwatch_.rect));
    record_->params.shadowColor = color;
    refreshPreview();
}

void FrameShadowDialog::mousePressEvent(QMouseEvent* event) {
    const QPoint pt = event->position().toPoint();
    if (frameOn_ && inside(frameSwatch_.rect, pt)) {
        chooseFrameColor(nullptr);
    } else if (frameOn_ && inside(textureSwatch_.rect, pt)) {
        record_->params.frameFill = BFX_FILL_TEXTURE;
        if (!textureRadio_->isChecked()) {
            textureRadio_->setChecked(true);
            refreshPreview();
        }
    }
    if (shadowOn_ && !ending_) {
        if (inside(shadowSwatch_.rect, pt)) {
            chooseShadowColor(nullptr);
        } else {
            for (int d = 0; d < 4; ++d) {
                if (pictures_[size_t(d)].contains(pt) && !directionRadios_[size_t(d)]->isChecked()) {
                    directionRadios_[size_t(d)]->setChecked(true);
                    directionCommand(3013 + d);
                    break;
                }
            }
        }
    }
    QDialog::mousePressEvent(event);
}

void FrameShadowDialog::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pt = event->position().toPoint();
    const bool over =
        (frameOn_ && inside(frameSwatch_.rect, pt)) || (shadowOn_ && inside(shadowSwatch_.rect, pt));
    if (over) {
        if (!pipette_) setCursor(pipetteCursor());
        pipette_ = true;
    } else if (pipette_) {
        unsetCursor();
        pipette_ = false;
    }
    QDialog::mouseMoveEvent(event);
}

void FrameShadowDialog::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange || event->type() == QEvent::PaletteChange) update();
    QDialog::changeEvent(event);
}

void FrameShadowDialog::paintEvent(QPaintEvent*) {
    QPainter dc(this);
    const TV32RECT& f = preview_.frame;
    DrawSunkenBorder(&dc, TV32RECT{f.left - 1, f.top - 1, f.right + 1, f.bottom + 1});
    if (preview_.result) ShowBuffer(&dc, preview_.result, nullptr, preview_.view);
    PaintSwatchOn(&dc, frameSwatch_);
    PaintSwatchOn(&dc, shadowSwatch_);
    DrawTextureSwatch(textureSwatch_, &dc, record_->params.textureData);
}

QString FrameShadowDialog::applySettings(const QString& settings) {
    const QStringList items = settings.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& item : items) {
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        if (eq <= 0) return QStringLiteral("expected name=value: ") + item;
        const QString name = item.left(eq).trimmed(), value = item.mid(eq + 1).trimmed();
        bool ok = false;
        auto number = [&]() -> int32_t {
            const int32_t v = value.toInt(&ok);
            ok = ok && v >= 0;
            return v;
        };
        auto color = [&]() -> uint32_t {
            // "#RRGGBB" or a 0x00BBGGRR number (decimal or 0x...).
            if (value.startsWith(QLatin1Char('#')) && value.size() == 7) {
                const uint32_t rgb = value.mid(1).toUInt(&ok, 16);
                return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
            }
            const uint32_t v = value.toUInt(&ok, 0);
            ok = ok && v <= 0xFFFFFF;
            return v;
        };
        auto check = [&](QCheckBox* box) {
            const bool on = value == QLatin1String("1") || value == QLatin1String("on");
            ok = on || value == QLatin1String("0") || value == QLatin1String("off");
            if (ok && box->isChecked() != on) box->click();
        };
        const std::map<QString, int> editIds = {{"frameWidth", 3008},
                                                {"shadowOffsetX", 3022},
                                                {"shadowOffsetY", 3025},
                                                {"transparency", 3028},
                                                {"blendWidth", 3032}};
        if (auto it = editIds.find(name); it != editIds.end()) {
            const int32_t v = number();
            if (ok && v > maximumOf(it->second))
                return QStringLiteral("%1 is out of range %2").arg(name, RangeText(0, maximumOf(it->second)));
            if (ok) edits_.at(it->second).edit->setText(FormatEditInt(v));
        } else if (name == QLatin1String("frame")) {
            check(frameCheck_);
        } else if (name == QLatin1String("shadow")) {
            check(shadowCheck_);
        } else if (name == QLatin1String("blending")) {
            check(blendCheck_);
        } else if (name == QLatin1String("shadowDirection")) {
            const int32_t d = number();
            ok = ok && d < 4;
            if (ok && !directionRadios_[size_t(d)]->isChecked()) directionRadios_[size_t(d)]->click();
        } else if (name == QLatin1String("frameFill")) {
            ok = true;
            if (value == QLatin1String("color") || value == QLatin1String("0"))
                colorRadio_->click();
            else if (value == QLatin1String("texture") || value == QLatin1String("5"))
                textureRadio_->click();
            else
                ok = false;
        } else if (name == QLatin1String("textureIndex")) {
            const int32_t n = number();
            ok = ok && takeLibraryTexture(n);
        } else if (name == QLatin1String("frameColor")) {
            const uint32_t c = color();
            if (ok) chooseFrameColor(&c);
        } else if (name == QLatin1String("shadowColor")) {
            const uint32_t c = color();
            if (ok) chooseShadowColor(&c);
        } else {
            return QStringLiteral("unknown name: ") + name;
        }
        if (!ok) return QStringLiteral("bad value: ") + item;
        if (failed_) return QStringLiteral("the preview failed");
    }
    return {};
}

void SetDialogHook(DialogHook h) {
    hook() = std::move(h);
}

int RunFrameShadowDialog(TV32HWND parent, PlugInRecord* record) {
    if (!record) return 0;
    FrameShadowParams backup;
    std::memcpy(&backup, &record->params, sizeof backup);
    int answer = -1;
    if (hook()) {
        answer = hook()(record) ? 1 : 0;
    } else if (!qEnvironmentVariableIsSet(BFX_DIALOG_SET_VARIABLE)) {
        const QByteArray v = qgetenv(BFX_DIALOG_ANSWER_VARIABLE).trimmed().toLower();
        if (v == "ok")
            answer = 1;
        else if (v == "cancel")
            answer = 0;
    }
    if (answer == 1) return 1;
    if (answer == 0) {
        // Cancel as the dialog does it.
        std::memcpy(&record->params, &backup, sizeof backup);
        c32SetDLLErrInfo(0, 0, 5200, 0, 0, 0);
        return 0;
    }
    if (!tv32::ensureApplication()) return 0;
    FrameShadowDialog dialog(tv32::widgetFromHandle(parent), record);
    if (qEnvironmentVariableIsSet(BFX_DIALOG_SET_VARIABLE)) {
        if (dialog.failed()) return 0;
        const QString error = dialog.applySettings(QString::fromUtf8(qgetenv(BFX_DIALOG_SET_VARIABLE)));
        if (!error.isEmpty() || !dialog.findChild<QPushButton*>(QStringLiteral("1"))->isEnabled()) {
            std::fprintf(stderr, "borderfx: %s\n",
                         error.isEmpty() ? "frame and shadow are both off" : error.toLocal8Bit().constData());
            dialog.pressCancel();
            return 0;
        }
        dialog.pressOk();
        return dialog.result() == 1 ? 1 : 0;
    }
    return dialog.run();
}

} // namespace borderfx
