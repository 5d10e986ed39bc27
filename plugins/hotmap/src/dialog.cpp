// The image-map dialog (template 11).
#include "dialog.h"

#include "analysis.h"
#include "stringtable.h"

#include "imagelib/scabout.h"
#include "imagelib/tv32comm.h"
#include "imagelib/tv32qt.h"

#include "desktop/services.h"
#include "desktop/system.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <cstdio>
#include <cstring>
#include <string_view>

namespace hotmap {
namespace {

// Adds with the wrap-around of 32-bit numbers.
int32_t add(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) + uint32_t(b));
}

std::string number(int32_t v) {
    char s[16];
    std::snprintf(s, sizeof s, "%d", v);
    return s;
}

std::string point(int32_t x, int32_t y) {
    return number(x) + ", " + number(y);
}

// The template's controls in its order (the order of the keyboard focus too). Positions and sizes
// in dialog units; a width of 0 takes the width of the control's text.
enum class Kind { Group, Static, Radio, Edit, Text, DefaultButton, Button };
struct Control {
    const char* name;
    Kind kind;
    int x, y, cx, cy;
    const char* text;
};
constexpr Control kTemplate[] = {
    {"selectionGroup", Kind::Group, 6, 6, 119, 65, "Selection information"},
    {"typeLabel", Kind::Static, 14, 17, 0, 9, "Type:"},
    {"1000", Kind::Static, 38, 17, 59, 9, ""},
    {"positionLabel", Kind::Static, 14, 29, 0, 9, "Position:"},
    {"1003", Kind::Static, 48, 29, 73, 9, ""},
    {"1006", Kind::Static, 14, 41, 45, 9, "Width:"},
    {"1004", Kind::Static, 67, 41, 19, 9, ""},
    {"1007", Kind::Static, 90, 41, 0, 9, "Pixels"},
    {"1008", Kind::Static, 14, 53, 45, 9, "Height:"},
    {"1005", Kind::Static, 67, 53, 19, 9, ""},
    {"1009", Kind::Static, 90, 53, 0, 9, "Pixels"},
    {"1010", Kind::Static, 67, 41, 54, 9, ""},
    {"1011", Kind::Static, 67, 53, 54, 9, ""},
    {"formatGroup", Kind::Group, 129, 6, 118, 65, "Format"},
    {"1036", Kind::Radio, 134, 20, 0, 10, "&Inline in an HTML document"},
    {"1037", Kind::Radio, 134, 35, 0, 10, "&NCSA"},
    {"1038", Kind::Radio, 134, 49, 0, 10, "CE&RN"},
    {"urlLabel", Kind::Static, 6, 77, 0, 9, "&URL  (to activate when clicked):"},
    {"1039", Kind::Edit, 118, 75, 130, 12, ""},
    {"tagLabel", Kind::Static, 6, 103, 0, 9, "&Tag string:"},
    {"2800", Kind::Text, 53, 92, 195, 37, ""},
    {"1", Kind::DefaultButton, 30, 133, 50, 14, "To &Clipboard"},
    {"2", Kind::Button, 86, 133, 50, 14, "Cancel"},
    {"57670", Kind::Button, 142, 133, 50, 14, "&Help"},
    {"1040", Kind::Button, 198, 133, 50, 14, "&About"},
};
constexpr int kWidthUnits = 254, kHeightUnits = 154;
constexpr const char* kTemplateCaption = "Image Map Tag - Talvor Sitecraft";

} // namespace

SelectionFields selectionFields(const ImageMapRequest& r) {
    SelectionFields f;
    const int32_t* p = r.shapeParams;
    f.type = loadString(r.shape == HM_SHAPE_CIRCLE ? kStrCircle
                        : r.shape == HM_SHAPE_RECT ? kStrRect
                                                   : kStrPoly);
    auto extent = [](int32_t l, int32_t t, int32_t rt, int32_t b) {
        return "(" + point(l, t) + ") - (" + point(rt, b) + ")";
    };
    if (r.shape == HM_SHAPE_CIRCLE) {
        f.circle = true;
        f.position = extent(add(p[0], -p[2]), add(p[1], -p[2]), add(p[0], p[2]), add(p[1], p[2]));
        f.widthLabel = loadString(kStrCenterPoint);
        f.heightLabel = loadString(kStrRadius);
        f.centre = point(p[0], p[1]);
        f.radius = number(p[2]);
    } else {
        f.position = extent(p[0], p[1], p[2], p[3]);
        f.widthLabel = "Width:";
        f.heightLabel = "Height:";
        f.width = number(add(p[2], -p[0]));
        f.height = number(add(p[3], -p[1]));
    }
    return f;
}

int32_t formatOfChecks(bool inlineChecked, bool ncsaChecked) {
    return inlineChecked ? HM_FORMAT_INLINE : ncsaChecked ? HM_FORMAT_NCSA : HM_FORMAT_CERN;
}

std::string boundedBytes(const QString& text, std::size_t maxBytes) {
    std::string s = desktop::toBytes(text);
    if (s.size() <= maxBytes) return s;
    std::size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80)
        --cut; // s[cut] continues a character that would be cut in two
    s.resize(cut);
    return s;
}

namespace {
std::string withoutBlanks(std::string s) {
    tvfdRemoveBlanks(s.data());
    s.resize(std::strlen(s.c_str()));
    return s;
}
} // namespace

std::string tagString(const char* templ, const QString& urlEditText) {
    const std::string url = withoutBlanks(boundedBytes(urlEditText, HM_URL_SIZE - 1));
    return formatTag(templ, url.c_str());
}

bool canCopy(const QString& tagText) {
    return !tagText.isEmpty() && tagText.front() != QLatin1Char('\n') &&
           tagText.front() != QLatin1Char('\r') && tagText.front() != QChar::ParagraphSeparator &&
           tagText.front() != QChar::LineSeparator;
}

std::string clipboardText(const QString& tagText) {
    return withoutBlanks(desktop::toBytes(tagText));
}

void writeUrl(char* buffer, const QString& urlEditText) {
    if (!buffer) return;
    const std::string url = boundedBytes(urlEditText, HM_URL_SIZE - 1);
    std::memcpy(buffer, url.data(), url.size());
    buffer[url.size()] = 0;
}

std::string helpFileFor(const std::string& modulePath) {
    char folder[TVFD_MAX_PATH + 1] = {};
    tvfdSplitPathname(modulePath.c_str(), TVFD_FOLDER, folder);
    tvfdAddSlash(folder);
    return std::string(folder) + "nf4ps.hlp>d";
}

ImageMapDialog::ImageMapDialog(QWidget* parent, ImageMapRequest* request)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      request_(request) {
    build();
    start();
}

ImageMapDialog::~ImageMapDialog() {
    if (helpOpened_) {
        desktop::help().quit(this, helpFile_);
        helpOpened_ = false;
    }
}

QLabel* ImageMapDialog::label(const char* id) const {
    return findChild<QLabel*>(QLatin1String(id), Qt::FindDirectChildrenOnly);
}

void ImageMapDialog::build() {
    setObjectName(QStringLiteral("ImageMapDialog"));
    setWindowTitle(QLatin1String(kTemplateCaption));
    setFont(tv32::dialogFont());
    const tv32::DialogUnits du = tv32::dialogUnitsOf(font());
    setFixedSize(du.size(kWidthUnits, kHeightUnits));
    formats_ = new QButtonGroup(this);
    QLabel* urlLabel = nullptr;
    QLabel* tagLabel = nullptr;
    for (const Control& c : kTemplate) {
        const QString text = QString::fromUtf8(c.text);
        QWidget* w = nullptr;
        switch (c.kind) {
        case Kind::Group:
            w = tv32::createTemplateGroupBox(text, this);
            break;
        case Kind::Static: {
            auto* l = new QLabel(text, this);
            l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            l->setTextFormat(Qt::PlainText);
            if (c.name == std::string_view("urlLabel")) urlLabel = l;
            if (c.name == std::string_view("tagLabel")) tagLabel = l;
            w = l;
            break;
        }
        case Kind::Radio: {
            auto* b = new QRadioButton(text, this);
            formats_->addButton(b, formats_->buttons().size()); // ids 0, 1, 2 are the format codes
            w = b;
            break;
        }
        case Kind::Edit: {
            auto* e = new QLineEdit(this);
            e->setMaxLength(kUrlEditLimit);
            url_ = e;
            w = e;
            break;
        }
        case Kind::Text: {
            auto* e = new QPlainTextEdit(this);
            e->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            e->setTabChangesFocus(true);
            tag_ = e;
            w = e;
            break;
        }
        case Kind::DefaultButton:
        case Kind::Button: {
            auto* b = new QPushButton(text, this);
            b->setDefault(c.kind == Kind::DefaultButton);
            if (c.kind == Kind::DefaultButton) copy_ = b;
            w = b;
            break;
        }
        }
        w->setObjectName(QLatin1String(c.name));
        QRect r = du.rect(c.x, c.y, c.cx, c.cy);
        if (c.cx == 0) r.setWidth(w->sizeHint().width());
        w->setGeometry(r);
    }
    urlLabel->setBuddy(url_);
    tagLabel->setBuddy(tag_);

    connect(formats_, &QButtonGroup::idClicked, this, [this](int) { formatClicked(); });
    connect(url_, &QLineEdit::textChanged, this, [this] { refreshTag(); });
    connect(tag_, &QPlainTextEdit::textChanged, this, [this] { updateCopyButton(); });
    connect(copy_, &QPushButton::clicked, this, [this] { copyToClipboard(); });
    connect(findChild<QPushButton*>(QStringLiteral("2")), &QPushButton::clicked, this, &QDialog::reject);
    connect(findChild<QPushButton*>(QStringLiteral("57670")), &QPushButton::clicked, this,
            [this] { showHelp(); });
    connect(findChild<QPushButton*>(QStringLiteral("1040")), &QPushButton::clicked, this,
            [this] { showAbout(); });
}

void ImageMapDialog::start() {
    if (QAbstractButton* b = formats_->button(request_->format)) b->setChecked(true);

    const SelectionFields f = selectionFields(*request_);
    label("1000")->setText(QString::fromStdString(f.type));
    label("1003")->setText(QString::fromStdString(f.position));
    label("1006")->setText(QString::fromStdString(f.widthLabel));
    label("1008")->setText(QString::fromStdString(f.heightLabel));
    if (f.circle) {
        for (const char* id : {"1007", "1009", "1004", "1005"})
            label(id)->hide();
        label("1010")->setText(QString::fromStdString(f.centre));
        label("1011")->setText(QString::fromStdString(f.radius));
    } else {
        label("1010")->hide();
        label("1011")->hide();
        label("1004")->setText(QString::fromStdString(f.width));
        label("1005")->setText(QString::fromStdString(f.height));
    }

    QString title =
        desktop::fromBytes(std::string_view(request_->title, strnlen(request_->title, HM_TITLE_SIZE - 1)));
    setWindowTitle(title.replace(QLatin1String("[*]"), QLatin1String("[*][*]"))); // shown as written

    const std::string_view url =
        request_->url ? std::string_view(request_->url, strnlen(request_->url, HM_URL_SIZE - 1))
                      : std::string_view();
    url_->setText(desktop::fromBytes(url));
    refreshTag(); // an empty URL is no change of the edit, but the tag string is due all the same
}

void ImageMapDialog::placeOver(TV32HWND parent) {
    tv32MoveWindow(tv32::handleOfWidget(this), parent, 1);
}

void ImageMapDialog::setVisible(bool visible) {
    const bool first = visible && !focusSet_;
    if (first) {
        focusSet_ = true;
        url_->setFocus(Qt::OtherFocusReason);
    }
    QDialog::setVisible(visible);
    // Showing, the dialog hands its focus on as if tabbed to, which selects the whole URL; the
    // URL is meant to be added to as often as replaced, so the caret goes to its end instead.
    if (first) url_->end(false);
}

void ImageMapDialog::formatClicked() {
    const int32_t before = request_->format;
    request_->format = formatOfChecks(formats_->button(HM_FORMAT_INLINE)->isChecked(),
                                      formats_->button(HM_FORMAT_NCSA)->isChecked());
    bool analysed;
    {
        WaitCursor wait;
        analysed = analyseRequest(*request_, 1.0);
    }
    if (!analysed) {
        // Only memory can run out here (the mask was analysed before): keep the entry and the
        // format that go together, and say why the choice did not take.
        request_->format = before;
        if (QAbstractButton* b = formats_->button(before)) b->setChecked(true);
        char text[260];
        c32GetString(1000, text, int(sizeof text));
        showMessage(text);
    }
    refreshTag();
}

void ImageMapDialog::refreshTag() {
    tag_->setPlainText(desktop::fromBytes(tagString(request_->text, url_->text())));
}

void ImageMapDialog::updateCopyButton() {
    copy_->setEnabled(canCopy(tag_->toPlainText()));
}

void ImageMapDialog::copyToClipboard() {
    if (!deliverText(clipboardText(tag_->toPlainText()))) {
        // Nothing was delivered: say so, and let the user try again or cancel.
        showMessage(loadString(kStrClipboardFailed));
        return;
    }
    writeUrl(request_->url, url_->text());
    accept();
}

void ImageMapDialog::showAbout() {
    ShowAboutBox(tv32::handleOfWidget(this));
}

void ImageMapDialog::showHelp() {
    helpFile_ = desktop::fromBytes(
        helpFileFor(desktop::moduleFileOf(reinterpret_cast<const void*>(&runImageMapDialog))));
    if (desktop::help().showContext(this, helpFile_, kHelpContext)) helpOpened_ = true;
}

void ImageMapDialog::showMessage(const std::string& text) {
    const QByteArray caption = windowTitle().toUtf8();
    C32MSGBOX box{};
    box.owner = tv32::handleOfWidget(this);
    box.caption = caption.constData();
    box.style = 0x30; // exclamation
    box.text = text.c_str();
    box.one1 = 1;
    box.one2 = 1;
    c32ShowMb(&box);
}

int runImageMapDialog(TV32HWND parent, ImageMapRequest* request) {
    if (!request || !request->text || !tv32::ensureApplication()) return 0;
    const int32_t format = request->format;
    ImageMapDialog dialog(tv32::widgetFromHandle(parent), request);
    // A host that is not this process's Qt program owns the dialog through its native window.
    tv32::attachForeignOwner(&dialog, parent);
    dialog.placeOver(parent);
    if (dialog.exec() == QDialog::Accepted) return 1;
    if (request->format != format) {
        // Cancelled: the caller's request gets its format back, with the entry to match.
        request->format = format;
        WaitCursor wait;
        analyseRequest(*request, 1.0);
    }
    return 0;
}

} // namespace hotmap
