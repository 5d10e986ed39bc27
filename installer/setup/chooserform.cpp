#include "setup/chooserform.h"

#include "desktop/services.h"
#include "desktop/system.h"
#include "framework/artwork.h"
#include "framework/globals.h"
#include "framework/settings.h"
#include "setup/extractform.h"
#include "setup/freespace.h"
#include "setup/makedirform.h"

#include <QDir>

namespace {

TLabel* label(QWidget* parent, const char* name, int x, int y, const QString& text) {
    auto* l = new TLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setCaption(text);
    l->setFont(parent->font());
    l->setGeometry(x, y, QFontMetrics(parent->font()).horizontalAdvance(text) + 4, 14);
    return l;
}

} // namespace

TForm2::TForm2(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Select a Directory"));
    setBorderIcons(forms::BorderIcons::None);
    setClientSize(321, 334);
    setFont(forms::makeFont(QStringLiteral("MS Sans Serif"), 11));

    DriveComboBox1 = new TDriveComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DriveComboBox1->setGeometry(7, 17, 307, 21);
    DirectoryListBox1 = new TDirectoryListBox(this);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->setGeometry(8, 45, 305, 136);
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Bevel1->setGeometry(8, 188, 305, 57);
    Label1 = label(this, "Label1", 24, 198,
                   QStringLiteral("Space free on this disk     ................................"));
    Label3 = label(this, "Label3", 252, 199, QStringLiteral("Size A"));
    Label2 = label(this, "Label2", 24, 223,
                   QStringLiteral("Space required for this      ................................"));
    Label4 = label(this, "Label4", 252, 224, QStringLiteral("Size B"));
    for (TLabel* l : {Label3, Label4})
        l->resize(64, 14);
    SpeedButton1 = new TSpeedButton(this, QStringLiteral("&Install"));
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setGeometry(13, 254, 81, 22);
    SpeedButton2 = new TSpeedButton(this, QStringLiteral("&Make Dir"));
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setGeometry(123, 254, 80, 22);
    SpeedButton3 = new TSpeedButton(this, QStringLiteral("&Cancel"));
    SpeedButton3->setObjectName(QStringLiteral("SpeedButton3"));
    SpeedButton3->setGeometry(230, 254, 81, 22);
    Image2 = new TImage(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setGeometry(0, 277, 316, 58);
    Image2->setPicture(ArtworkImage(Art::Banner));

    DriveComboBox1->refresh(DirectoryListBox1->Directory());
    connect(DriveComboBox1, &QComboBox::currentIndexChanged, this, [this] {
        DirectoryListBox1->setDirectory(DriveComboBox1->Drive());
        forms::RunHandler([this] { DriveComboBox1Change(); });
    });
    connect(SpeedButton1, &QToolButton::clicked, this, forms::Handler(this, &TForm2::SpeedButton1Click));
    connect(SpeedButton2, &QToolButton::clicked, this, forms::Handler(this, &TForm2::SpeedButton2Click));
    connect(SpeedButton3, &QToolButton::clicked, this, forms::Handler(this, &TForm2::SpeedButton3Click));
}

void TForm2::FormShow() {
    // The drive list selects the current drive when it first comes up, and that counts as a change:
    // the free space is shown before the chooser is first seen.
    DriveComboBox1->refresh(DirectoryListBox1->Directory());
    DriveComboBox1Change();
}

void TForm2::FormActivate() {
    Label4->setCaption(desktop::fromBytes(InstallSettings.RequiredSize) + QStringLiteral(" Mb"));
}

void TForm2::DriveComboBox1Change() {
    const std::optional<std::uint64_t> freeBytes =
        desktop::freeSpace().bytesAvailable(DriveComboBox1->Drive());
    const int required = forms::StrToInt(InstallSettings.RequiredSize);
    const FreeSpaceVerdict v = CheckFreeSpace(freeBytes, required);
    Label3->setFontColor(v.sufficient ? QColor(Qt::black) : QColor(255, 0, 0));
    Label3->setCaption(QString::fromStdString(v.text));
    setWindowTitle(QString::fromStdString(v.caption));
}

void TForm2::SpeedButton1Click() {
    Hide();
    if (Form5) Form5->ShowModal();
}

void TForm2::SpeedButton2Click() {
    if (Form3) Form3->Show();
    Hide();
}

void TForm2::SpeedButton3Click() {
    Close();
}
