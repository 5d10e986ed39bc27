#include "shell/mainform.h"

#include "desktop/system.h"
#include "framework/artwork.h"
#include "framework/firstframe.h"
#include "framework/globals.h"
#include "framework/settings.h"
#include "setup/chooserform.h"
#include "shell/infoform.h"
#include "shell/music.h"

#include <QContextMenuEvent>

namespace {

template <class W> W* place(W* w, int left, int top, int width, int height) {
    w->setGeometry(left, top, width, height);
    return w;
}

QImage fittedPicture(Art art, int width, int height) {
    QImage img = ArtworkImage(art);
    if (img.isNull()) {
        img = QImage(width, height, QImage::Format_RGB888);
        img.fill(Qt::black);
    }
    return img;
}

} // namespace

TForm1::TForm1(QWidget* parent) : TForm(parent) {
    setMainForm(true);
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Halcyon Installer..."));
    setBorderIcons(forms::BorderIcons::None);
    setFont(forms::makeFont(QStringLiteral("MS Sans Serif"), 11));
    // No window-manager title bar: the caption strip is painted by MSOfficeCaption1 above the client
    // area, and the window is that much taller.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setClientSize(kClientWidth, kClientHeight + TMSOfficeCaption::captionHeight());
    ClientArea = new QWidget(this);
    ClientArea->setObjectName(QStringLiteral("ClientArea"));
    ClientArea->setGeometry(0, TMSOfficeCaption::captionHeight(), kClientWidth, kClientHeight);

    const QFont hotFont = forms::makeFont(QStringLiteral("Arial"), 16, true);

    Image1 = place(new TImage(ClientArea), 0, 0, 492, 361);
    Image1->setPicture(fittedPicture(Art::Background, 492, 361));
    Image2 = place(new TImage(ClientArea), 30, 315, 117, 29);
    Image2->setPicture(fittedPicture(Art::InstallLit, 117, 33));
    Image2->setToolTip(QStringLiteral("Install Game"));
    Image4 = place(new TImage(ClientArea), 378, 315, 76, 34);
    Image4->setPicture(fittedPicture(Art::ExitLit, 68, 31));
    Image4->setToolTip(QStringLiteral("Exit Installer"));
    Image3 = place(new TImage(ClientArea), 220, 315, 75, 31);
    Image3->setPicture(fittedPicture(Art::InfoLit, 72, 33));
    Image3->setToolTip(QStringLiteral("Read Game Info"));

    Label4 = place(new TLabel(ClientArea), 28, 277, 439, 18);
    Label4->setFont(forms::makeFont(QStringLiteral("Arial"), 15));
    Label4->setFontColor(Qt::white);

    ScrollText1 = place(new TScrollText(ClientArea), 39, 237, 418, 14);
    ScrollText1->setSteps(50);
    ScrollText1->setSpeed(280);
    ScrollText1->setColor(Qt::black);
    ScrollText1->setContinuous(true);
    ScrollText1->setAlignment(taCenter);
    ScrollText1->setTextStyle(tsNormal);
    ScrollText1->setDepth(1);
    ScrollText1->setScrollDirection(sdRightToLeft);
    ScrollText1->setFont(forms::makeFont(QStringLiteral("Arial"), 13));
    ScrollText1->setFontColor(Qt::white);

    Label1 = place(new TLabel(ClientArea), 34, 320, 110, 23);
    Label2 = place(new TLabel(ClientArea), 226, 319, 61, 24);
    Label3 = place(new TLabel(ClientArea), 382, 319, 60, 25);
    for (TLabel* hot : {Label1, Label2, Label3}) {
        hot->setFont(hotFont);
        hot->setFontColor(Qt::white);
    }
    Label5 = place(new TLabel(ClientArea), 395, 4, 95, 15);
    Label5->setFont(forms::makeFont(QStringLiteral("MS Sans Serif"), 11));
    Label5->setFontColor(Qt::white);
    Label5->setCaption(QStringLiteral("Code/Gfx: Halcyon"));

    const std::pair<QWidget*, const char*> names[] = {{Image1, "Image1"}, {Image2, "Image2"},
                                                      {Image4, "Image4"}, {Image3, "Image3"},
                                                      {Label4, "Label4"}, {ScrollText1, "ScrollText1"},
                                                      {Label1, "Label1"}, {Label2, "Label2"},
                                                      {Label3, "Label3"}, {Label5, "Label5"}};
    for (const auto& [w, name] : names)
        w->setObjectName(QLatin1String(name));

    MSOfficeCaption1 = new TMSOfficeCaption(this);
    MSOfficeCaption1->setObjectName(QStringLiteral("MSOfficeCaption1"));
    MSOfficeCaption1->setColorRightActive(Qt::black);
    MSOfficeCaption1->setColorRightInActive(Qt::black);
    MSOfficeCaption1->AppNameText()->setFontKind(fkSystemB);
    MSOfficeCaption1->CompanyText()->setFont(
        forms::makeFont(QStringLiteral("MS Sans Serif"), 11, true, true));
    MSOfficeCaption1->CompanyText()->setColorActive(Qt::white);
    MSOfficeCaption1->CompanyText()->setColorInactive(Qt::white);
    MSOfficeCaption1->CaptionText()->setCaption(QStringLiteral("Halcyon Installer..."));
    MSOfficeCaption1->CaptionText()->setColorActive(Qt::white);
    MSOfficeCaption1->CaptionText()->setColorInactive(Qt::white);
    MSOfficeCaption1->CaptionText()->setFont(forms::makeFont(QStringLiteral("MS Sans Serif"), 11, true));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto item = [this](const char* name, const QString& caption, const QKeySequence& key) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QLatin1String(name));
        a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a); // shortcuts act while the main window is active
        PopupMenu1->addAction(a);
        return a;
    };
    Install1 = item("Install1", QStringLiteral("Install"), QKeySequence(Qt::CTRL | Qt::Key_I));
    hcynfo1 = item("hcynfo1", QStringLiteral("Halcyon.nfo"), QKeySequence(Qt::CTRL | Qt::Key_N));
    Quit1 = item("Quit1", QStringLiteral("Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q));

    connect(Image1, &TImage::mouseMoved, this, forms::Handler(this, &TForm1::Image1MouseMove));
    connect(Image2, &TImage::mouseMoved, this, forms::Handler(this, &TForm1::Image2MouseMove));
    connect(Image3, &TImage::mouseMoved, this, forms::Handler(this, &TForm1::Image3MouseMove));
    connect(Image4, &TImage::mouseMoved, this, forms::Handler(this, &TForm1::Image4MouseMove));
    connect(Label1, &TLabel::mouseMoved, this, forms::Handler(this, &TForm1::Label1MouseMove));
    connect(Label2, &TLabel::mouseMoved, this, forms::Handler(this, &TForm1::Label2MouseMove));
    connect(Label3, &TLabel::mouseMoved, this, forms::Handler(this, &TForm1::Label3MouseMove));
    connect(Image2, &TImage::clicked, this, forms::Handler(this, &TForm1::Image2Click));
    connect(Label1, &TLabel::clicked, this, forms::Handler(this, &TForm1::Label1Click));
    connect(Install1, &QAction::triggered, this, forms::Handler(this, &TForm1::Install1Click));
    connect(Image3, &TImage::clicked, this, forms::Handler(this, &TForm1::Image3Click));
    connect(Label2, &TLabel::clicked, this, forms::Handler(this, &TForm1::Label2Click));
    connect(hcynfo1, &QAction::triggered, this, forms::Handler(this, &TForm1::hcynfo1Click));
    connect(Image4, &TImage::clicked, this, forms::Handler(this, &TForm1::Image4Click));
    connect(Label3, &TLabel::clicked, this, forms::Handler(this, &TForm1::Label3Click));
    connect(Quit1, &QAction::triggered, this, forms::Handler(this, &TForm1::Quit1Click));

    FormCreate();
}

void TForm1::FormCreate() {
    ProgramFolder = desktop::folderOf(forms::ProgramFile());
    InstallSettings.MusicPath = ProgramFolder + "install.dat";
    ReadInstallSettings(InstallSettings, ProgramFolder + "install.ini", ProgramFolder);
    // Hollow background: the window never erases; the background picture covers the client area.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    Label4->setCaption(desktop::fromBytes(InstallSettings.AppName));
    Image2->hide();
    Image3->hide();
    Image4->hide();
    ScrollText1->setItems(scrolltext::splitLines(desktop::fromBytes(InstallSettings.ScrollLine)));
}

void TForm1::FormShow() {
    // The music starts with the first showing and loops until the program ends. It is opened
    // through its full path in the program folder, so the installer plays it whatever the
    // current directory. It is loaded on the sound thread once the window's first frame is on the
    // screen (or a second from now at the latest), so the window never waits for it.
    Module = 0;
    PlayHandle = 0;
    forms::AfterFirstFrame(
        this, [this] { PlaymodInBackground(this, InstallSettings.MusicPath); }, 1000);
}

void TForm1::contextMenuEvent(QContextMenuEvent* e) {
    PopupMenu1->popup(e->globalPos());
}

void TForm1::showLit(TImage* lit) {
    for (TImage* img : {Image2, Image3, Image4})
        img->setVisible(img == lit);
}

void TForm1::Image1MouseMove() {
    showLit(nullptr);
    for (TLabel* hot : {Label1, Label2, Label3})
        hot->setFontColor(Qt::white);
}
void TForm1::Image2MouseMove() {
    showLit(Image2);
}
void TForm1::Label1MouseMove() {
    showLit(Image2);
}
void TForm1::Image3MouseMove() {
    showLit(Image3);
}
void TForm1::Label2MouseMove() {
    showLit(Image3);
}
void TForm1::Image4MouseMove() {
    showLit(Image4);
}
void TForm1::Label3MouseMove() {
    showLit(Image4);
}

void TForm1::openChooser() {
    if (Form2) Form2->ShowModal();
}
void TForm1::openViewer() {
    if (Form4) Form4->ShowModal();
}

void TForm1::Image2Click() {
    openChooser();
}
void TForm1::Label1Click() {
    openChooser();
}
void TForm1::Install1Click() {
    openChooser();
}
void TForm1::Image3Click() {
    openViewer();
}
void TForm1::Label2Click() {
    openViewer();
}
void TForm1::hcynfo1Click() {
    openViewer();
}
void TForm1::Image4Click() {
    Close();
}
void TForm1::Label3Click() {
    Close();
}
void TForm1::Quit1Click() {
    Close();
}
