#include "setup/makedirform.h"

#include "desktop/services.h"
#include "desktop/system.h"
#include "framework/globals.h"
#include "framework/settings.h"
#include "setup/chooserform.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

TForm3::TForm3(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Make directory"));
    setBorderIcons(forms::BorderIcons::None);
    setClientSize(282, 101);
    setFont(forms::makeFont(QStringLiteral("MS Sans Serif"), 11));

    Label1 = new TLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(font());
    Label1->setCaption(QStringLiteral("Dir name:"));
    Label1->setGeometry(11, 8, 60, 14);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(9, 25, 264, 21);
    SpeedButton1 = new TSpeedButton(this, QStringLiteral("&Ok"));
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setGeometry(16, 69, 97, 22);
    SpeedButton2 = new TSpeedButton(this, QStringLiteral("&Cancel"));
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setGeometry(168, 69, 97, 22);
    connect(SpeedButton1, &QToolButton::clicked, this, forms::Handler(this, &TForm3::SpeedButton1Click));
    connect(SpeedButton2, &QToolButton::clicked, this, forms::Handler(this, &TForm3::SpeedButton2Click));
}

void TForm3::FormActivate() {
    Edit1->setText(desktop::fromBytes(InstallSettings.DefaultDir));
}

std::string MakeDirectoryError(const QString& name, int error) {
    // Control characters are shown by their visible symbols (a zero as U+2400), so the message
    // shows the whole name and is never cut short by one.
    QString shown = name;
    for (QChar& c : shown)
        if (c.unicode() < 0x20) c = QChar(0x2400 + c.unicode());
    const std::string reason = error == EINVAL
                                   ? std::string("the name holds characters this disk does not accept")
                                   : std::string(std::strerror(error));
    return "Cannot create the directory \"" + desktop::toBytes(shown) + "\": " + reason;
}

void TForm3::SpeedButton1Click() {
    // The chooser's directory may have gone while this dialog was up: the chooser comes back,
    // showing where it is now, and nothing is made.
    if (Form2 && Form2->DirectoryListBox1->revalidate()) {
        SpeedButton2Click();
        return;
    }
    const QString name = Edit1->text();
    const QFileInfo existing(QDir::current(), name);
    if (!name.isEmpty() && existing.isDir()) {
        desktop::showWarning(this,
                             QStringLiteral("The ") + name +
                                 QStringLiteral(" Directory already exists, please choose another name!"));
        return;
    }
    // A name is handed to the system whole: one with a zero character in it would be cut short there.
    if (name.contains(QChar::Null)) throw forms::EInOutError(MakeDirectoryError(name, EINVAL), EINVAL);
    const QByteArray native = QFile::encodeName(name);
    if (::mkdir(native.constData(), 0777) != 0) {
        const int err = errno;
        throw forms::EInOutError(MakeDirectoryError(name, err), err);
    }
    // The new folder opens in the list wherever the name put it: beside or above the directory
    // shown ("../x") or elsewhere altogether (an absolute name).
    const QString made = QDir::current().absoluteFilePath(name);
    if (Form2 && !Form2->DirectoryListBox1->setDirectory(made)) {
        // Made but cannot be opened (no search permission): it is taken away again.
        ::rmdir(native.constData());
        throw forms::EInOutError(MakeDirectoryError(name, EACCES), EACCES);
    }
    Close();
    if (Form2) Form2->Show();
}

void TForm3::SpeedButton2Click() {
    Close();
    if (Form2) Form2->Show();
}
