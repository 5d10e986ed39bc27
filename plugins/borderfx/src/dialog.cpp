// The parameter dialog: template 110 laid out from dialog units, the edits with their up-downs,
// the swatches, the direction pictures and the live preview.
#include "dialog.h"
#include "dialogscript.h"
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
#include <span>

namespace borderfx {

// Two arrow buttons at the right edge of an edit. Each step moves the edit's number within
// 0 .. maximum: by 1, and while an arrow is held (a button under the mouse, or an arrow key in
// the edit) by 1 after a second, 10 after 2 s and 50 after 3 s.
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
            connect(b, &QToolButton::released, this, [this] { held_.stop(); });
        }
        up_->setArrowType(Qt::UpArrow);
        down_->setArrowType(Qt::DownArrow);
        connect(up_, &QToolButton::clicked, this, [this] { step(+1); });
        connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
    }
    void setMaximum(int32_t maximum) { maximum_ = maximum; }
    int32_t maximum() const { return maximum_; }
    // An arrow key in the edit: its first press starts the hold, its repeats step faster.
    void keyStep(int sign, bool repeat) {
        if (!repeat || !held_.running()) held_.start();
        step(sign);
    }
    void keyReleased() { held_.stop(); }

  protected:
    void resizeEvent(QResizeEvent*) override {
        const int h = height() / 2;
        up_->setGeometry(0, 0, width(), h);
        down_->setGeometry(0, h, width(), height() - h);
    }
    void changeEvent(QEvent* e) override {
        if (e->type() == QEvent::EnabledChange && !isEnabled()) held_.stop();
        QWidget::changeEvent(e);
    }

  private:
    void step(int sign) {
        const int32_t by = AccelStep(held_.elapsed());
        buddy_->setText(FormatEditInt(StepValue(ParseEditInt(buddy_->text()), sign * by, maximum_)));
    }
    QLineEdit* buddy_;
    QToolButton *up_, *down_;
    HoldTimer held_;
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
            upDown->keyStep(e->key() == Qt::Key_Up ? 1 : -1, e->isAutoRepeat());
            return;
        }
        QLineEdit::keyPressEvent(e);
    }
    void keyReleaseEvent(QKeyEvent* e) override {
        if (upDown && !e->isAutoRepeat() && (e->key() == Qt::Key_Up || e->key() == Qt::Key_Down))
            upDown->keyReleased();
        QLineEdit::keyReleaseEvent(e);
    }
};

// Template 110: 343 x 198 dialog units; its controls in tab order, places in dialog units.
enum class Kind {
    Group,
    Check,
    Radio,
    Label,
    CentredLabel,
    Edit,
    UpDown,
    Button,
    DefaultButton,
    Picture,
    Place
};
struct TemplateControl {
    int id; // negative: a control without an id (named by the text then)
    Kind kind;
    const char* text;
    int x, y, w, h;
};
constexpr int kFrameGroup = -1, kShadowGroup = -2;
constexpr int kWidthUnits = 343, kHeightUnits = 198;
constexpr TemplateControl kTemplate[] = {
    {kFrameGroup, Kind::Group, "frameGroup", 6, 3, 175, 68},
    {kShadowGroup, Kind::Group, "shadowGroup", 6, 75, 175, 93},
    {kIdFrame, Kind::Check, "&Frame", 14, 4, 34, 10},
    {kIdShadow, Kind::Check, "&Shadow", 15, 76, 40, 10},
    {kIdFrameSwatch, Kind::Place, "", 60, 19, 16, 17},
    {kIdFillColor, Kind::Radio, "&Color", 14, 22, 35, 10},
    {kIdFillTexture, Kind::Radio, "&Texture", 14, 46, 37, 10},
    {kIdWidthLabel, Kind::CentredLabel, "&Width :", 90, 23, 30, 10},
    {kIdFrameWidth, Kind::Edit, "", 120, 21, 41, 12},
    {kIdFrameWidthSpin, Kind::UpDown, "", 156, 20, 9, 14},
    {kIdLibrary, Kind::Button, "&Library...", 107, 45, 50, 14},
    {kIdTextureSwatch, Kind::Place, "", 60, 42, 35, 22},
    {kIdShadowSwatch, Kind::Place, "", 13, 94, 16, 16},
    {kIdDirection + 0, Kind::Radio, "", 35, 92, 10, 10},
    {kIdDirection + 1, Kind::Radio, "", 70, 92, 10, 10},
    {kIdDirection + 2, Kind::Radio, "", 105, 92, 10, 10},
    {kIdDirection + 3, Kind::Radio, "", 140, 92, 10, 10},
    {kIdDirectionPicture + 0, Kind::Picture, "", 46, 92, 18, 20},
    {kIdDirectionPicture + 1, Kind::Picture, "", 81, 92, 18, 20},
    {kIdDirectionPicture + 2, Kind::Picture, "", 116, 92, 18, 20},
    {kIdDirectionPicture + 3, Kind::Picture, "", 151, 92, 18, 20},
    {kIdXLabel, Kind::Label, "&X offset : ", 16, 120, 28, 10},
    {kIdXOffset, Kind::Edit, "", 48, 120, 40, 12},
    {kIdXSpin, Kind::UpDown, "", 78, 119, 6, 14},
    {kIdYLabel, Kind::Label, "&Y offset : ", 91, 120, 28, 10},
    {kIdYOffset, Kind::Edit, "", 123, 120, 40, 12},
    {kIdYSpin, Kind::UpDown, "", 160, 120, 6, 14},
    {kIdTransparencyLabel, Kind::Label, "Trans&parency : ", 16, 135, 48, 10},
    {kIdTransparency, Kind::Edit, "", 80, 135, 41, 12},
    {kIdTransparencySpin, Kind::UpDown, "", 112, 135, 6, 14},
    {kIdTransparencyRange, Kind::Label, "%(0..99)", 120, 137, 30, 10},
    {kIdBlending, Kind::Check, "&Edge blending : ", 16, 150, 62, 10},
    {kIdBlendWidth, Kind::Edit, "", 80, 150, 41, 12},
    {kIdBlendSpin, Kind::UpDown, "", 112, 150, 6, 14},
    {kIdPixelsLabel, Kind::Label, "Pixels", 120, 151, 23, 10},
    {kIdBlendRange, Kind::Label, "(0 .. 150)", 144, 151, 33, 10},
    {kIdOk, Kind::DefaultButton, "OK", 127, 176, 48, 14},
    {kIdCancel, Kind::Button, "Cancel", 181, 176, 48, 14},
    {kIdHelp, Kind::Button, "&Help", 235, 176, 48, 14},
    {kIdAbout, Kind::Button, "&About", 289, 176, 48, 14},
    {kIdPreview, Kind::Place, "", 187, 7, 150, 161},
};

// The labels that give the keyboard focus to the edit after them.
constexpr std::pair<int, int> kBuddies[] = {{kIdWidthLabel, kIdFrameWidth},
                                            {kIdXLabel, kIdXOffset},
                                            {kIdYLabel, kIdYOffset},
                                            {kIdTransparencyLabel, kIdTransparency}};

// The controls each switch enables, in the order the dialog enables them.
constexpr int kFrameControls[] = {kIdFrameWidth, kIdFillColor, kIdFillTexture, kIdLibrary};
constexpr int kShadowControls[] = {kIdDirection,     kIdDirection + 2, kIdDirection + 1,
                                   kIdDirection + 3, kIdXOffset,       kIdYOffset,
                                   kIdTransparency,  kIdBlendWidth,    kIdBlending};
constexpr int kBlendControls[] = {kIdBlendWidth};

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

FrameShadowDialog::FrameShadowDialog(QWidget* parent, PlugInRecord* record, bool shown)
    : QDialog(parent), record_(record), shown_(shown) {
    setObjectName(QStringLiteral("110"));
    setWindowTitle(QString::fromUtf8(StringText(kCaptionId)));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFont(tv32::dialogFont());
    setMouseTracking(true);
    build();
    if (!openDialog()) failed_ = true;
}

FrameShadowDialog::~FrameShadowDialog() {
    qtimer_.stop();
    CloseHelp(tv32::handleOfWidget(this));
}

QWidget* FrameShadowDialog::control(int id) const {
    return findChild<QWidget*>(QString::number(id));
}

QLineEdit* FrameShadowDialog::edit(int id) const {
    const auto it = edits_.find(id);
    return it == edits_.end() ? nullptr : it->second.edit;
}

void FrameShadowDialog::build() {
    const tv32::DialogUnits du = tv32::dialogUnitsOf(font());
    setFixedSize(du.size(kWidthUnits, kHeightUnits));
    FrameShadowParams& p = record_->params;
    const std::map<int, int32_t*> fields = {{kIdFrameWidth, &p.frameWidth},
                                            {kIdXOffset, &p.shadowOffsetX},
                                            {kIdYOffset, &p.shadowOffsetY},
                                            {kIdTransparency, &p.transparency},
                                            {kIdBlendWidth, &p.blendWidth}};
    auto* fills = new QButtonGroup(this);
    auto* directions = new QButtonGroup(this);
    NumberEdit* lastEdit = nullptr;
    for (const TemplateControl& c : kTemplate) {
        const QRect r = du.rect(c.x, c.y, c.w, c.h);
        const QString text = QString::fromUtf8(c.text);
        QWidget* w = nullptr;
        switch (c.kind) {
        case Kind::Group:
            w = tv32::createTemplateGroupBox(QString(), this);
            break;
        case Kind::Check: {
            auto* box = new QCheckBox(text, this);
            if (c.id == kIdFrame) frameCheck_ = box;
            if (c.id == kIdShadow) shadowCheck_ = box;
            if (c.id == kIdBlending) blendCheck_ = box;
            w = box;
            break;
        }
        case Kind::Radio: {
            auto* radio = new QRadioButton(text, this);
            if (c.id == kIdFillColor) colorRadio_ = radio;
            if (c.id == kIdFillTexture) textureRadio_ = radio;
            if (c.id >= kIdDirection && c.id < kIdDirection + 4) {
                directionRadios_[size_t(c.id - kIdDirection)] = radio;
                directions->addButton(radio);
            } else {
                fills->addButton(radio);
            }
            w = radio;
            break;
        }
        case Kind::Label:
        case Kind::CentredLabel: {
            auto* label = new QLabel(text, this);
            if (c.kind == Kind::CentredLabel) label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
            w = label;
            break;
        }
        case Kind::Edit:
            lastEdit = new NumberEdit(this);
            edits_[c.id] = EditField{lastEdit, nullptr, fields.at(c.id)};
            w = lastEdit;
            break;
        case Kind::UpDown: {
            // An up-down attaches to the edit before it and sits at its right edge, as tall as
            // the edit.
            auto* ud = new UpDown(this, lastEdit);
            const QRect e = lastEdit->geometry();
            ud->setObjectName(QString::number(c.id));
            ud->setGeometry(e.right() + 1 - r.width(), e.y(), r.width(), e.height());
            lastEdit->setTextMargins(0, 0, r.width(), 0);
            lastEdit->upDown = ud;
            edits_[c.id - 1].upDown = ud;
            continue;
        }
        case Kind::Button:
        case Kind::DefaultButton: {
            auto* b = new QPushButton(text, this);
            b->setAutoDefault(false);
            b->setDefault(c.kind == Kind::DefaultButton);
            if (c.id == kIdOk) okButton_ = b;
            w = b;
            break;
        }
        case Kind::Picture: {
            auto* picture = new QLabel(this);
            picture->setGeometry(r);
            picture->setPixmap(directionPixmap(c.id - kIdDirectionPicture, r.size()));
            picture->setAttribute(Qt::WA_TransparentForMouseEvents);
            pictures_[size_t(c.id - kIdDirectionPicture)] = r;
            w = picture;
            break;
        }
        case Kind::Place:
            // Placeholders are not kept: the dialog paints the swatches and the preview there.
            if (c.id == kIdFrameSwatch) frameSwatch_.rect = toRect(r);
            if (c.id == kIdTextureSwatch) textureSwatch_.rect = toRect(r);
            if (c.id == kIdShadowSwatch) shadowSwatch_.rect = toRect(r);
            if (c.id == kIdPreview) preview_.frame = toRect(r);
            continue;
        }
        w->setObjectName(c.id < 0 ? text : QString::number(c.id));
        w->setGeometry(r);
    }
    // The up-downs lie over their edits; the check boxes that sit on a group's top edge lie over
    // the group and cover its line behind their text.
    for (auto& [id, e] : edits_)
        if (e.upDown) e.upDown->raise();
    for (QCheckBox* c : {frameCheck_, shadowCheck_}) {
        c->setAutoFillBackground(true);
        c->raise();
    }
    // The dialog font draws a little wider than the template's: check boxes and radios keep
    // their whole text (the room after each allows it).
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{frameCheck_, shadowCheck_, colorRadio_,
                                                                      textureRadio_, blendCheck_})
        b->resize(std::max(b->width(), b->sizeHint().width()), b->height());
    for (const auto& [label, buddy] : kBuddies)
        static_cast<QLabel*>(control(label))->setBuddy(control(buddy));
    // Only the edit ids stay in the edit table.
    for (auto it = edits_.begin(); it != edits_.end();)
        it = it->second.edit ? std::next(it) : edits_.erase(it);
    frameSwatch_.owner = shadowSwatch_.owner = textureSwatch_.owner = tv32::handleOfWidget(this);

    connect(okButton_, &QPushButton::clicked, this, [this] { pressOk(); });
    connect(static_cast<QPushButton*>(control(kIdCancel)), &QPushButton::clicked, this,
            [this] { pressCancel(); });
    connect(static_cast<QPushButton*>(control(kIdHelp)), &QPushButton::clicked, this,
            [this] { ShowHelp(tv32::handleOfWidget(this), 140); });
    connect(static_cast<QPushButton*>(control(kIdAbout)), &QPushButton::clicked, this,
            [this] { ShowAboutBox(tv32::handleOfWidget(this)); });
    connect(static_cast<QPushButton*>(control(kIdLibrary)), &QPushButton::clicked, this,
            [this] { libraryCommand(); });
    connect(frameCheck_, &QCheckBox::clicked, this, [this] { frameToggled(); });
    connect(shadowCheck_, &QCheckBox::clicked, this, [this] { shadowToggled(); });
    connect(blendCheck_, &QCheckBox::clicked, this, [this] { blendToggled(); });
    connect(colorRadio_, &QRadioButton::clicked, this, [this] { fillCommand(BFX_FILL_COLOR); });
    connect(textureRadio_, &QRadioButton::clicked, this, [this] { fillCommand(BFX_FILL_TEXTURE); });
    for (int d = 0; d < 4; ++d)
        connect(directionRadios_[size_t(d)], &QRadioButton::clicked, this,
                [this, d] { directionCommand(kIdDirection + d); });
    qtimer_.setInterval(RefreshTimer::kIntervalMs);
    connect(&qtimer_, &QTimer::timeout, this, [this] { timerTick(); });
}

bool FrameShadowDialog::openDialog() {
    FrameShadowParams& p = record_->params;
    std::memcpy(&backup_, &p, sizeof backup_);
    // The texture object the block holds when the dialog opens is never released by the dialog
    // or its pickers: they work on a copy, so that Cancel can put the block back as it was.
    if (p.textureData) {
        void* working = nullptr;
        if (!tv32TextureDataDuplicate(p.textureData, &working)) {
            ShowError(kInsufficientMemoryId, nullptr);
            RecordError(BFX_ERR_NO_MEMORY, kInsufficientMemoryId);
            return false;
        }
        p.textureData = working;
    }

    switch (SetupPreview(preview_, preview_.frame, *record_, shown_)) {
    case SetupResult::Ok:
        break;
    case SetupResult::ImageFailed:
        RecordError(BFX_ERR_NO_MEMORY, 1001);
        return false;
    case SetupResult::SelectionFailed:
        RecordError(BFX_ERR_NO_MEMORY);
        return false;
    }
    ScalePreviewParams(preview_, p);

    frameOn_ = p.frameWidth > 0;
    frameCheck_->setChecked(frameOn_);
    setEditInt(kIdFrameWidth, p.frameWidth);
    frameSwatch_.color = p.frameColor;
    shadowOn_ = p.shadowOffsetX > 0 || p.shadowOffsetY > 0;
    shadowCheck_->setChecked(shadowOn_);
    shadowSwatch_.color = p.shadowColor;
    if (p.shadowDirection >= 0 && p.shadowDirection < 4)
        directionRadios_[size_t(p.shadowDirection)]->setChecked(true);
    colorRadio_->setChecked(p.frameFill == BFX_FILL_COLOR);
    textureRadio_->setChecked(p.frameFill == BFX_FILL_TEXTURE);
    setEditInt(kIdXOffset, p.shadowOffsetX);
    setEditInt(kIdYOffset, p.shadowOffsetY);
    setEditInt(kIdTransparency, p.transparency);
    blendOn_ = p.blendWidth > 0;
    blendCheck_->setChecked(blendOn_);
    setEditInt(kIdBlendWidth, p.blendWidth);
    // A textured frame needs a texture: the library's texture textureIndex when there is none.
    EnsureTexture(record_->textureIndex, &p.textureData);

    setOffsetLimits(p.shadowDirection);
    frameMax_ = FrameMaximum(preview_.selection, preview_.imageWidth, preview_.imageHeight);
    edits_[kIdFrameWidth].upDown->setMaximum(frameMax_);
    edits_[kIdTransparency].upDown->setMaximum(99);
    edits_[kIdBlendWidth].upDown->setMaximum(150);
    for (auto& [id, e] : edits_) {
        const int editId = id;
        connect(e.edit, &QLineEdit::textChanged, this, [this, editId] { editChanged(editId); });
    }
    if (!frameOn_) enable(kFrameControls, false);
    if (!shadowOn_) enable(kShadowControls, false);
    enableOk();
    if (!blendOn_) enable(kBlendControls, false);
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
    case kIdFrameWidth:
        return frameMax_;
    case kIdXOffset:
        return limits_.xMax;
    case kIdYOffset:
        return limits_.yMax;
    case kIdTransparency:
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
        if (id == kIdFrameWidth) setOffsetLimits(record_->params.shadowDirection);
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
    edits_.at(kIdXOffset).upDown->setMaximum(limits_.xMax);
    edits_.at(kIdYOffset).upDown->setMaximum(limits_.yMax);
    if (p.shadowOffsetY > limits_.yMax) {
        p.shadowOffsetY = limits_.yMax;
        setEditInt(kIdYOffset, p.shadowOffsetY);
    }
    if (p.shadowOffsetX > limits_.xMax) {
        p.shadowOffsetX = limits_.xMax;
        setEditInt(kIdXOffset, p.shadowOffsetX);
    }
}

void FrameShadowDialog::enable(std::span<const int> ids, bool on) {
    for (int id : ids) {
        control(id)->setEnabled(on);
        // An edit's up-down goes with it.
        if (auto it = edits_.find(id); it != edits_.end()) it->second.upDown->setEnabled(on);
    }
}

void FrameShadowDialog::enableOk() {
    okButton_->setEnabled(frameOn_ || shadowOn_);
}

void FrameShadowDialog::frameToggled() {
    frameOn_ = frameCheck_->isChecked();
    enable(kFrameControls, frameOn_);
    enableOk();
    refreshPreview();
}

void FrameShadowDialog::shadowToggled() {
    shadowOn_ = shadowCheck_->isChecked();
    // The whole shadow group follows the switch, the blend width's edit included.
    enable(kShadowControls, shadowOn_);
    enableOk();
    refreshPreview();
}

void FrameShadowDialog::blendToggled() {
    blendOn_ = blendCheck_->isChecked();
    enable(kBlendControls, blendOn_);
    refreshPreview();
}

bool FrameShadowDialog::textureMissing() const {
    return record_->params.frameFill == BFX_FILL_TEXTURE && !record_->params.textureData;
}

void FrameShadowDialog::fillCommand(int32_t fill) {
    if (record_->params.frameFill == fill) return;
    record_->params.frameFill = fill;
    // A textured frame without a texture to draw: say what is missing (the preview shows the
    // frame unfilled meanwhile).
    if (textureMissing()) ShowTextureMissing(tv32::handleOfWidget(this));
    refreshPreview();
}

void FrameShadowDialog::directionCommand(int id) {
    const int32_t direction = id - kIdDirection;
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
        RecordError(BFX_ERR_NO_MEMORY, kInsufficientMemoryId);
        fail();
        return;
    }
    update(toQRect(preview_.view));
}

void FrameShadowDialog::readDialogValues() {
    FrameShadowParams& p = record_->params;
    frameOn_ = frameCheck_->isChecked();
    shadowOn_ = shadowCheck_->isChecked();
    p.frameWidth = frameOn_ ? getEditInt(kIdFrameWidth) : 0;
    if (shadowOn_) {
        p.shadowColor = shadowSwatch_.color;
        p.frameColor = frameSwatch_.color;
        p.shadowOffsetX = getEditInt(kIdXOffset);
        p.shadowOffsetY = getEditInt(kIdYOffset);
        p.transparency = getEditInt(kIdTransparency);
        p.blendWidth = blendCheck_->isChecked() ? getEditInt(kIdBlendWidth) : 0;
    } else {
        p.shadowOffsetX = p.shadowOffsetY = p.blendWidth = 0;
    }
}

void FrameShadowDialog::pressOk() {
    if (ending_ || failed_) return;
    // A textured frame cannot be drawn without its texture: say what is missing, and let the
    // user choose a colour or cancel.
    if (frameCheck_->isChecked() && textureMissing()) {
        ShowTextureMissing(tv32::handleOfWidget(this));
        return;
    }
    ending_ = true;
    qtimer_.stop();
    readDialogValues();
    // The object the block held when the dialog opened has been replaced: its replacer releases it.
    if (backup_.textureData && record_->params.textureData != backup_.textureData)
        tv32TextureDataFree(backup_.textureData);
    done(1);
}

void FrameShadowDialog::pressCancel() {
    if (ending_) return;
    ending_ = true;
    qtimer_.stop();
    CancelParams(record_, backup_);
    done(0);
}

void FrameShadowDialog::reject() {
    pressCancel();
}

QRect FrameShadowDialog::directionPicture(int index) const {
    return pictures_.at(size_t(index));
}

void FrameShadowDialog::pickFrameColor(const uint32_t* preset) {
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

void FrameShadowDialog::pickShadowColor(const uint32_t* preset) {
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
        pickFrameColor(nullptr);
    } else if (frameOn_ && inside(textureSwatch_.rect, pt)) {
        record_->params.frameFill = BFX_FILL_TEXTURE;
        if (!textureRadio_->isChecked()) {
            textureRadio_->setChecked(true);
            if (textureMissing()) ShowTextureMissing(tv32::handleOfWidget(this));
            refreshPreview();
        }
    }
    if (shadowOn_ && !ending_) {
        if (inside(shadowSwatch_.rect, pt)) {
            pickShadowColor(nullptr);
        } else {
            for (int d = 0; d < 4; ++d) {
                if (pictures_[size_t(d)].contains(pt) && !directionRadios_[size_t(d)]->isChecked()) {
                    directionRadios_[size_t(d)]->setChecked(true);
                    directionCommand(kIdDirection + d);
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

void CancelParams(PlugInRecord* record, const FrameShadowParams& opening) {
    void* current = record->params.textureData;
    std::memcpy(&record->params, &opening, sizeof opening);
    // A texture object made while the dialog was open goes; the one the block held stays.
    if (current && current != opening.textureData) tv32TextureDataFree(current);
    c32SetDLLErrInfo(0, 0, BFX_ERR_CANCELLED, 0, 0, 0);
}

void SetDialogHook(DialogHook h) {
    hook() = std::move(h);
}

int RunFrameShadowDialog(TV32HWND parent, PlugInRecord* record) {
    if (!record) return RecordError(BFX_ERR_BAD_RECORD);
    FrameShadowParams opening;
    std::memcpy(&opening, &record->params, sizeof opening);
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
        CancelParams(record, opening);
        return 0;
    }
    if (!tv32::ensureApplication()) return RecordError(BFX_ERR_NO_DISPLAY);
    const bool scripted = qEnvironmentVariableIsSet(BFX_DIALOG_SET_VARIABLE);
    FrameShadowDialog dialog(tv32::widgetFromHandle(parent), record, !scripted);
    // A host that is not this process's Qt program owns the dialog through its native window.
    if (tv32::attachForeignOwner(&dialog, parent))
        tv32MoveWindow(tv32::handleOfWidget(&dialog), TV32_PARENT_OF_WINDOW, 1);
    if (dialog.failed()) return 0; // the dialog recorded why
    if (scripted) {
        const QString error =
            ApplyDialogSettings(dialog, QString::fromUtf8(qgetenv(BFX_DIALOG_SET_VARIABLE)));
        if (dialog.failed()) return 0;
        if (!error.isEmpty() || !dialog.control(kIdOk)->isEnabled()) {
            std::fprintf(stderr, "borderfx: %s\n",
                         error.isEmpty() ? "frame and shadow are both off" : error.toLocal8Bit().constData());
            dialog.pressCancel();
            return 0;
        }
        dialog.pressOk();
        if (dialog.result() == 1) return 1;
        // OK did not end the dialog (a textured frame without a texture, which it has said).
        dialog.pressCancel();
        return RecordError(BFX_ERR_NO_TEXTURE, kTextureMissingId);
    }
    return dialog.run();
}

} // namespace borderfx
