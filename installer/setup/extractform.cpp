#include "setup/extractform.h"

#include "desktop/services.h"
#include "desktop/system.h"
#include "framework/globals.h"
#include "framework/settings.h"
#include "setup/chooserform.h"
#include "setup/rarerrors.h"

#include <QCoreApplication>

namespace {

TLabel* label(QWidget* parent, const char* name, int x, int y, const QString& text) {
    auto* l = new TLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(parent->font());
    l->setCaption(text);
    l->setGeometry(x, y, 332 - x - 4, 14);
    return l;
}

TProgressBar* bar(QWidget* parent, const char* name, int x, int y) {
    auto* b = new TProgressBar(parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(x, y, 305, 16);
    return b;
}

} // namespace

TForm5::TForm5(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Prepare to Install...."));
    setBorderIcons(forms::BorderIcons::None);
    setClientSize(332, 142);
    setFont(forms::makeFont(QStringLiteral("MS Sans Serif"), 11));

    Label1 = label(this, "Label1", 15, 8, QStringLiteral("File Name:"));
    ProgressBar1 = bar(this, "ProgressBar1", 14, 29);
    Label2 = label(this, "Label2", 16, 57, QStringLiteral("Processing:"));
    ProgressBar2 = bar(this, "ProgressBar2", 14, 78);
    SpeedButton1 = new TSpeedButton(this, QStringLiteral("&Extract"));
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setGeometry(14, 109, 105, 22);
    SpeedButton2 = new TSpeedButton(this, QStringLiteral("&Cancel"));
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setGeometry(214, 109, 105, 22);
    connect(SpeedButton1, &QToolButton::clicked, this, forms::Handler(this, &TForm5::SpeedButton1Click));
    connect(SpeedButton2, &QToolButton::clicked, this, forms::Handler(this, &TForm5::SpeedButton2Click));

    RAR1.OnExtracting = [this](TRAR& s, RARHeaderData& h) { RAR1Extracting(s, h); };
    RAR1.OnProcessData = [this](TRAR& s, unsigned char* a, int32_t size, int64_t pos) {
        return RAR1ProcessData(s, a, size, pos);
    };
    RAR1.OnVolumeChange = [this](TRAR& s, const char* name, int32_t mode) {
        return RAR1VolumeChange(s, name, mode);
    };
    RAR1.OnError = [this](TRAR& s, int32_t code) { RAR1Error(s, code); };
}

void TForm5::FormActivate() {
    // Anything that activates the dialog again while it extracts (a click on it, the chooser, the
    // make-directory dialog closing) leaves the run alone: a Cancel pressed in it stays final.
    if (running_) return;
    RAR1.ArchiveName = ProgramFolder + InstallSettings.ArchiveFile;
    aborted_ = false;
    // A cancel while nothing ran, or an earlier run, must not carry over into this one.
    RAR1.Stop = false;
    ProgressBar2->setPosition(0);
    ProgressBar1->setPosition(0);
    ProgressBar2->setMin(0);
    // In 64 bits: the lowest count (-2147483648) less one does not wrap.
    ProgressBar2->setMax(static_cast<std::int64_t>(forms::StrToInt(InstallSettings.VolumeCount)) - 1);
    SpeedButton1->setEnabled(true);
    SpeedButton2->setEnabled(true);
}

void TForm5::SpeedButton1Click() {
    if (running_) return;
    SpeedButton1->setEnabled(false);
    SpeedButton2->setEnabled(true);
    RAR1.TargetDir = Form2 ? desktop::toBytes(Form2->DirectoryListBox1->Directory()) : std::string();
    setWindowTitle(QStringLiteral("Extracting"));
    report_.Start(InstallSettings.ArchiveFile);
    bool ok = false;
    {
        running_ = true;
        struct Running {
            bool& flag;
            ~Running() { flag = false; }
        } running{running_};
        ok = RAR1.Extract();
    }
    report_.Finished(ok);

    if (aborted_) {
        Close();
        // The chooser may have been hidden again while the cancelled file was finished.
        if (Form2) {
            Form2->Show();
            Form2->setWindowTitle(QStringLiteral("Install Aborted!"));
        }
        return;
    }
    if (report_.Failed()) {
        // The installation did not complete: say why and let the user choose again.
        Close();
        if (Form2) Form2->Show();
        desktop::showWarning(this, QStringLiteral("The installation did not complete.\n") +
                                       desktop::fromBytes(report_.Failure()));
        return;
    }
    if (Form2) Form2->Close();
    Close();
    desktop::showInformation(this, QStringLiteral("Install Completed!"));
    if (InstallSettings.OpenAfterFile != "NONE")
        desktop::shell().open(desktop::fromBytes(InstallSettings.OpenAfterPath));
    desktop::shell().open(desktop::fromBytes(RAR1.TargetDir));
}

void TForm5::SpeedButton2Click() {
    SpeedButton1->setEnabled(true);
    SpeedButton2->setEnabled(false);
    RAR1.Stop = true;
    aborted_ = true;
    Close();
    if (Form2) {
        Form2->Show();
        Form2->setWindowTitle(QStringLiteral("Install Aborted!"));
    }
}

void TForm5::RAR1Extracting(TRAR&, RARHeaderData& eFile) {
    report_.FileStarted(eFile);
    if (RAR1.Stop) return;
    Label1->setCaption(QStringLiteral("File Name: ") + desktop::fromBytes(eFile.FileName));
    ProgressBar1->setMin(0);
    ProgressBar1->setPosition(0);
    ProgressBar1->setMax(RAR1.CurrentFileSize());
    QCoreApplication::processEvents();
    Label2->setCaption(QStringLiteral("Archive: ") + desktop::fromBytes(fmtNome(eFile.ArcName)));
}

int TForm5::RAR1ProcessData(TRAR&, unsigned char*, int, std::int64_t Position) {
    ProgressBar1->setPosition(Position);
    QCoreApplication::processEvents();
    return 1;
}

int TForm5::RAR1VolumeChange(TRAR&, const char* ArcName, int Mode) {
    report_.Volume(ArcName, Mode);
    // A missing volume is asked for again and again; Cancel gives up on it (the run then fails).
    if (Mode == RAR_VOL_ASK &&
        !desktop::askInformation(this, QStringLiteral("Insert the disk with ") + desktop::fromBytes(ArcName)))
        return 0;
    ProgressBar2->setPosition(ProgressBar2->Position() + 1);
    return 1;
}

void TForm5::RAR1Error(TRAR& Sender, int Error) {
    report_.Error(Sender, Error);
}
