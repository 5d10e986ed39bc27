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

void TForm3::SpeedButton1Click() {
    const QString name = Edit1->text();
    const QFileInfo existing(QDir::current(), name);
    if (!name.isEmpty() && existing.isDir()) {
        desktop::showWarning(this,
                             QStringLiteral("The ") + name +
                                 QStringLiteral(" Directory already exists, please choose another name!"));
        return;
    }
    const QByteArray native = QFile::encodeName(name);
    if (::mkdir(native.constData(), 0777) != 0) {
        const int err = errno;
        throw forms::EInOutError(std::strerror(err), err);
    }
    if (Form2) Form2->DirectoryListBox1->setDirectory(Form2->DirectoryListBox1->Directory() + '/' + name);
    Close();
    if (Form2) Form2->Show();
}

void TForm3::SpeedButton2Click() {
    Close();
    if (Form2) Form2->Show();
}
