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

template <class W> W* place(W* w, const char* name, int left, int top, int width, int height) {
    w->setObjectName(QLatin1String(name));
    w->setGeometry(left, top, width, height);
    return w;
}

QImage fittedPicture(Art art, int width, int height) {
    QImage img = ArtworkImage(art);
    if (img.isNull()) {
        img = QImage(width, height, QImage::Format_RGB32);
        img.fill(Qt::black);
    }
    return img;
}

} // namespace

TForm1::TForm1(QWidget* parent) : TForm(parent) {
    setUpWindow();
    placePictures();
    placeTexts();
    setUpCaption();
    setUpMenu();
    connectHandlers();
    FormCreate();
}

void TForm1::DecodePictures() {
    DecodeArtwork({Art::Background, Art::InstallLit, Art::InfoLit, Art::ExitLit});
}

void TForm1::setUpWindow() {
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
}

void TForm1::placePictures() {
    // In stacking order, bottom first: the background, then the lit buttons over it.
    Image1 = place(new TImage(ClientArea), "Image1", 0, 0, 492, 361);
    Image1->setPicture(fittedPicture(Art::Background, 492, 361));
    Image2 = place(new TImage(ClientArea), "Image2", 30, 315, 117, 29);
    Image2->setPicture(fittedPicture(Art::InstallLit, 117, 33));
    Image2->setToolTip(QStringLiteral("Install Game"));
    Image4 = place(new TImage(ClientArea), "Image4", 378, 315, 76, 34);
    Image4->setPicture(fittedPicture(Art::ExitLit, 68, 31));
    Image4->setToolTip(QStringLiteral("Exit Installer"));
    Image3 = place(new TImage(ClientArea), "Image3", 220, 315, 75, 31);
    Image3->setPicture(fittedPicture(Art::InfoLit, 72, 33));
    Image3->setToolTip(QStringLiteral("Read Game Info"));
}

void TForm1::placeTexts() {
    // Above the pictures: the product name, the scrolling line, the hot areas, the credits.
    Label4 = place(new TLabel(ClientArea), "Label4", 28, 277, 439, 18);
    Label4->setFont(forms::makeFont(QStringLiteral("Arial"), 15));
    Label4->setFontColor(Qt::white);

    ScrollText1 = place(new TScrollText(ClientArea), "ScrollText1", 39, 237, 418, 14);
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

    Label1 = place(new TLabel(ClientArea), "Label1", 34, 320, 110, 23);
    Label2 = place(new TLabel(ClientArea), "Label2", 226, 319, 61, 24);
    Label3 = place(new TLabel(ClientArea), "Label3", 382, 319, 60, 25);
    const QFont hotFont = forms::makeFont(QStringLiteral("Arial"), 16, true);
    for (TLabel* hot : {Label1, Label2, Label3}) {
        hot->setFont(hotFont);
        hot->setFontColor(Qt::white);
    }

    Label5 = place(new TLabel(ClientArea), "Label5", 395, 4, 95, 15);
    Label5->setFont(forms::makeFont(QStringLiteral("MS Sans Serif"), 11));
    Label5->setFontColor(Qt::white);
    Label5->setCaption(QStringLiteral("Code/Gfx: Halcyon"));
}

void TForm1::setUpCaption() {
    // A black bar with the caption in white bold letters.
    MSOfficeCaption1 = new TMSOfficeCaption(this);
    MSOfficeCaption1->setObjectName(QStringLiteral("MSOfficeCaption1"));
    MSOfficeCaption1->setColorRightActive(Qt::black);
    MSOfficeCaption1->setColorRightInActive(Qt::black);
    MSOfficeCaption1->AppNameText()->setFontKind(fkSystemB);
    TCompanyText* company = MSOfficeCaption1->CompanyText();
    company->setFont(forms::makeFont(QStringLiteral("MS Sans Serif"), 11, true, true));
    company->setColorActive(Qt::white);
    company->setColorInactive(Qt::white);
    TCaptionText* caption = MSOfficeCaption1->CaptionText();
    caption->setCaption(QStringLiteral("Halcyon Installer..."));
    caption->setColorActive(Qt::white);
    caption->setColorInactive(Qt::white);
    caption->setFont(forms::makeFont(QStringLiteral("MS Sans Serif"), 11, true));
}

void TForm1::setUpMenu() {
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
}

void TForm1::connectHandlers() {
    const auto on = [this](auto* sender, auto signal, void (TForm1::*handler)()) {
        connect(sender, signal, this, forms::Handler(this, handler));
    };
    on(Image1, &TImage::mouseMoved, &TForm1::Image1MouseMove);
    on(Image2, &TImage::mouseMoved, &TForm1::Image2MouseMove);
    on(Image3, &TImage::mouseMoved, &TForm1::Image3MouseMove);
    on(Image4, &TImage::mouseMoved, &TForm1::Image4MouseMove);
    on(Label1, &TLabel::mouseMoved, &TForm1::Label1MouseMove);
    on(Label2, &TLabel::mouseMoved, &TForm1::Label2MouseMove);
    on(Label3, &TLabel::mouseMoved, &TForm1::Label3MouseMove);
    on(Image2, &TImage::clicked, &TForm1::Image2Click);
    on(Label1, &TLabel::clicked, &TForm1::Label1Click);
    on(Install1, &QAction::triggered, &TForm1::Install1Click);
    on(Image3, &TImage::clicked, &TForm1::Image3Click);
    on(Label2, &TLabel::clicked, &TForm1::Label2Click);
    on(hcynfo1, &QAction::triggered, &TForm1::hcynfo1Click);
    on(Image4, &TImage::clicked, &TForm1::Image4Click);
    on(Label3, &TLabel::clicked, &TForm1::Label3Click);
    on(Quit1, &QAction::triggered, &TForm1::Quit1Click);
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
    CreateOtherForms();
    Form2->ShowModal();
}
void TForm1::openViewer() {
    CreateOtherForms();
    Form4->ShowModal();
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
