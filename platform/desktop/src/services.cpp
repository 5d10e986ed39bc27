#include "desktop/services.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QStorageInfo>
#include <QTextStream>
#include <QUrl>

#include <sys/statvfs.h>

namespace desktop {
namespace {

QString logFile() {
    return qEnvironmentVariable(kDesktopLogVariable);
}

void appendLog(const QStringList& fields) {
    QFile f(logFile());
    if (!f.open(QIODevice::Append | QIODevice::Text)) return;
    QTextStream out(&f);
    QStringList clean;
    for (QString s : fields)
        clean << s.replace('\n', "\\n").replace('\r', "\\r").replace('\t', ' ');
    out << clean.join('\t') << '\n';
}

class DefaultBoxes final : public MessageBoxService {
  public:
    void show(QWidget* owner, const Box& box) override {
        if (!logFile().isEmpty()) {
            appendLog({"box", box.title, box.text});
            return;
        }
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        switch (box.icon) {
        case BoxIcon::Information:
            icon = QMessageBox::Information;
            break;
        case BoxIcon::Warning:
            icon = QMessageBox::Warning;
            break;
        case BoxIcon::Error:
            icon = QMessageBox::Critical;
            break;
        case BoxIcon::None:
            break;
        }
        QMessageBox mb(icon, box.title, box.text, QMessageBox::Ok, owner);
        mb.exec();
    }
    bool ask(QWidget* owner, const Box& box) override {
        if (!logFile().isEmpty()) {
            appendLog({"ask", box.title, box.text});
            return false;
        }
        QMessageBox mb(QMessageBox::Information, box.title, box.text, QMessageBox::Ok | QMessageBox::Cancel,
                       owner);
        return mb.exec() == QMessageBox::Ok;
    }
};

class DefaultShell final : public ShellService {
  public:
    bool open(const QString& target) override {
        if (!logFile().isEmpty()) {
            appendLog({"open", target});
            return true;
        }
        return QDesktopServices::openUrl(QUrl::fromLocalFile(target));
    }
};

// Splits "file>window" into the file part.
QString helpFilePart(const QString& helpFile) {
    const qsizetype gt = helpFile.indexOf('>');
    return (gt < 0 ? helpFile : helpFile.left(gt)).trimmed();
}

class DefaultHelp final : public HelpService {
  public:
    bool showContext(QWidget*, const QString& helpFile, int context) override {
        if (!logFile().isEmpty()) {
            appendLog({"help", helpFile, QString::number(context)});
            return true;
        }
        QString file = helpFilePart(helpFile);
        QUrl url;
        if (QFileInfo::exists(file)) {
            url = QUrl::fromLocalFile(file);
        } else {
            // The Windows help file is not shipped on this platform: the HTML help beside it is
            // opened at the section of the context instead.
            const QFileInfo fi(file);
            const QString html = fi.path() + '/' + fi.completeBaseName() + ".html";
            if (!QFileInfo::exists(html)) return false;
            url = QUrl::fromLocalFile(html);
            url.setFragment(QStringLiteral("context-%1").arg(context));
        }
        return QDesktopServices::openUrl(url);
    }
    bool quit(QWidget*, const QString& helpFile) override {
        if (!logFile().isEmpty()) appendLog({"helpquit", helpFile});
        // A browser showing the HTML help belongs to the user; there is nothing of ours to close.
        return true;
    }
};

class DefaultFreeSpace final : public FreeSpaceService {
  public:
    std::optional<std::uint64_t> bytesAvailable(const QString& path) override {
        struct statvfs st {};
        if (::statvfs(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
        return static_cast<std::uint64_t>(st.f_bavail) * static_cast<std::uint64_t>(st.f_frsize);
    }
};

DefaultBoxes gDefaultBoxes;
DefaultShell gDefaultShell;
DefaultHelp gDefaultHelp;
DefaultFreeSpace gDefaultFreeSpace;
MessageBoxService* gBoxes = &gDefaultBoxes;
ShellService* gShell = &gDefaultShell;
HelpService* gHelp = &gDefaultHelp;
FreeSpaceService* gFreeSpace = &gDefaultFreeSpace;

} // namespace

MessageBoxService& messageBoxes() {
    return *gBoxes;
}
void setMessageBoxes(MessageBoxService* s) {
    gBoxes = s ? s : &gDefaultBoxes;
}
ShellService& shell() {
    return *gShell;
}
void setShell(ShellService* s) {
    gShell = s ? s : &gDefaultShell;
}
HelpService& help() {
    return *gHelp;
}
void setHelp(HelpService* s) {
    gHelp = s ? s : &gDefaultHelp;
}
FreeSpaceService& freeSpace() {
    return *gFreeSpace;
}
void setFreeSpace(FreeSpaceService* s) {
    gFreeSpace = s ? s : &gDefaultFreeSpace;
}

void showWarning(QWidget* owner, const QString& text) {
    messageBoxes().show(owner, {QStringLiteral("Warning"), text, BoxIcon::Warning});
}
void showInformation(QWidget* owner, const QString& text) {
    messageBoxes().show(owner, {QStringLiteral("Information"), text, BoxIcon::Information});
}
bool askInformation(QWidget* owner, const QString& text) {
    return messageBoxes().ask(owner, {QStringLiteral("Information"), text, BoxIcon::Information});
}

Recorder::Recorder() : prevBoxes_(gBoxes), prevShell_(gShell), prevHelp_(gHelp) {
    gBoxes = this;
    gShell = this;
    gHelp = this;
}

Recorder::~Recorder() {
    gBoxes = prevBoxes_;
    gShell = prevShell_;
    gHelp = prevHelp_;
}

void Recorder::add(Entry e) {
    entries.push_back(e);
    if (onEntry) onEntry(entries.back());
}

void Recorder::show(QWidget*, const Box& box) {
    add({Entry::Kind::Box, box.title, box.text, box.icon, 0});
}

bool Recorder::ask(QWidget*, const Box& box) {
    add({Entry::Kind::Box, box.title, box.text, box.icon, 0});
    return askResult;
}

bool Recorder::open(const QString& target) {
    add({Entry::Kind::Open, {}, target, BoxIcon::None, 0});
    return shellResult;
}

bool Recorder::showContext(QWidget*, const QString& helpFile, int context) {
    add({Entry::Kind::Help, {}, helpFile, BoxIcon::None, context});
    return helpResult;
}

bool Recorder::quit(QWidget*, const QString& helpFile) {
    add({Entry::Kind::HelpQuit, {}, helpFile, BoxIcon::None, 0});
    return true;
}

std::vector<Recorder::Entry> Recorder::boxes() const {
    std::vector<Entry> out;
    for (const auto& e : entries)
        if (e.kind == Entry::Kind::Box) out.push_back(e);
    return out;
}

std::vector<QString> Recorder::opened() const {
    std::vector<QString> out;
    for (const auto& e : entries)
        if (e.kind == Entry::Kind::Open) out.push_back(e.text);
    return out;
}

} // namespace desktop
