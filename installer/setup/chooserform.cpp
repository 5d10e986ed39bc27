#include "setup/chooserform.h"

#include "desktop/services.h"
#include "desktop/system.h"
#include "framework/artwork.h"
#include "framework/globals.h"
#include "framework/settings.h"
#include "setup/extractform.h"
#include "setup/freespace.h"
#include "setup/makedirform.h"

#include <QTimer>

namespace {

TLabel* label(QWidget* parent, const char* name, int x, int y, const QString& text) {
    auto* l = new TLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setCaption(text);
    l->setFont(parent->font());
    l->setGeometry(x, y, QFontMetrics(parent->font()).horizontalAdvance(text) + 4, 14);
    return l;
}

TSpeedButton* button(QWidget* parent, const char* name, const QString& caption, int x, int width) {
    auto* b = new TSpeedButton(parent, caption);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(x, 254, width, 22);
    return b;
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
    SpeedButton1 = button(this, "SpeedButton1", QStringLiteral("&Install"), 13, 81);
    SpeedButton2 = button(this, "SpeedButton2", QStringLiteral("&Make Dir"), 123, 80);
    SpeedButton3 = button(this, "SpeedButton3", QStringLiteral("&Cancel"), 230, 81);
    Image2 = new TImage(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setGeometry(0, 277, 316, 58);
    Image2->setPicture(ArtworkImage(Art::Banner));

    watch_ = new QTimer(this);
    watch_->setInterval(kWatchIntervalMs);
    connect(watch_, &QTimer::timeout, this, [this] { DirectoryListBox1->revalidate(); });

    connect(DriveComboBox1, &QComboBox::currentIndexChanged, this,
            forms::Handler(this, &TForm2::DriveComboBox1Select));
    connect(DirectoryListBox1, &TDirectoryListBox::directoryChanged, this, [this] { followDirectory(); });
    connect(DirectoryListBox1, &TDirectoryListBox::directoryLost, this, &TForm2::directoryLost);
    connect(SpeedButton1, &QToolButton::clicked, this, forms::Handler(this, &TForm2::SpeedButton1Click));
    connect(SpeedButton2, &QToolButton::clicked, this, forms::Handler(this, &TForm2::SpeedButton2Click));
    connect(SpeedButton3, &QToolButton::clicked, this, forms::Handler(this, &TForm2::SpeedButton3Click));
}

void TForm2::FormShow() {
    // The drive list selects the disk of the directory shown when it first comes up, and that
    // counts as a change: the free space is shown before the chooser is first seen.
    DriveComboBox1->refresh(DirectoryListBox1->Directory());
    checkedDisk_ = {};
    followDirectory();
}

void TForm2::showEvent(QShowEvent* e) {
    TForm::showEvent(e);
    // The directory may have gone while the chooser was hidden (during the make-directory dialog).
    DirectoryListBox1->revalidate();
    watch_->start();
}

void TForm2::hideEvent(QHideEvent* e) {
    watch_->stop();
    TForm::hideEvent(e);
}

void TForm2::FormActivate() {
    Label4->setCaption(desktop::fromBytes(InstallSettings.RequiredSize) + QStringLiteral(" Mb"));
}

void TForm2::DriveComboBox1Change() {
    const std::optional<std::uint64_t> freeBytes =
        desktop::freeSpace().bytesAvailable(DirectoryListBox1->Directory());
    const int required = forms::StrToInt(InstallSettings.RequiredSize);
    const FreeSpaceVerdict v = CheckFreeSpace(freeBytes, required);
    Label3->setFontColor(v.sufficient ? QColor(Qt::black) : QColor(255, 0, 0));
    Label3->setCaption(QString::fromStdString(v.text));
    setWindowTitle(QString::fromStdString(v.caption));
}

void TForm2::DriveComboBox1Select() {
    const QString root = DriveComboBox1->Drive();
    // The folder last visited on that disk, or the nearest one above it if it has gone since.
    const QString folder = NearestExistingFolder(visited_.lastOn(root));
    if (DiskOf(folder).root != root || !DirectoryListBox1->setDirectory(folder)) {
        // The disk went away after the list was read (its root is only a folder of another disk
        // now), or it cannot be opened.
        DriveComboBox1->refresh(DirectoryListBox1->Directory());
        desktop::showWarning(this, QStringLiteral("The disk ") + root + QStringLiteral(" is not available."));
    }
}

void TForm2::followDirectory() {
    const QString folder = DirectoryListBox1->Directory();
    const Disk disk = DiskOf(folder);
    if (disk.root.isEmpty()) return; // gone already: the next check of the folder takes it up
    visited_.visit(disk.root, folder);
    if (disk == checkedDisk_) return; // another folder of the same disk: no new check
    checkedDisk_ = disk;
    DriveComboBox1->selectRoot(disk.root);
    forms::RunHandler([this] { DriveComboBox1Change(); });
}

void TForm2::directoryLost(const QString& lost, const QString& shown) {
    watch_->stop(); // no second box while this one is up
    desktop::showWarning(this, QStringLiteral("The directory ") + lost +
                                   QStringLiteral(" is no longer available; the list shows ") + shown +
                                   QStringLiteral(" now."));
    if (isVisible()) watch_->start();
}

void TForm2::SpeedButton1Click() {
    // Nothing is started for a directory that has gone or that cannot take the files.
    if (DirectoryListBox1->revalidate()) return;
    const QString folder = DirectoryListBox1->Directory();
    if (const QString problem = WriteProblem(folder); !problem.isEmpty()) {
        desktop::showWarning(this, QStringLiteral("Cannot install into ") + folder + QStringLiteral(": ") +
                                       problem + QStringLiteral(". Please choose another directory!"));
        return;
    }
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
