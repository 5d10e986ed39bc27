#include "setup/dirlist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QStyle>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kPathRole = Qt::UserRole + 1;

struct Identity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool valid = false;
};

Identity identityOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), true};
}

} // namespace

Disk DiskOf(const QString& path) {
    const Identity id = identityOf(path);
    if (!id.valid) return {};
    return {TDriveComboBox::rootOf(path), id.device};
}

QString NearestExistingFolder(const QString& path) {
    QString p = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    while (!QFileInfo(p).isDir()) {
        const QString up = QFileInfo(p).path();
        if (up == p) break;
        p = up;
    }
    return p;
}

QString WriteProblem(const QString& path) {
    if (::access(QFile::encodeName(path).constData(), W_OK | X_OK) == 0) return {};
    return QString::fromLocal8Bit(std::strerror(errno));
}

TDirectoryListBox::TDirectoryListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemActivated, this, &TDirectoryListBox::openItem);
    // The process's current directory, or (when that has gone) the nearest folder above it.
    if (!setDirectory(QDir::currentPath())) setDirectory(NearestExistingFolder(QDir::homePath()));
}

bool TDirectoryListBox::setDirectory(const QString& path) {
    const QFileInfo fi(QDir::current().absoluteFilePath(path));
    const QString target = fi.canonicalFilePath();
    if (target.isEmpty() || !fi.isDir() || !QDir::setCurrent(target)) return false;
    const Identity id = identityOf(target);
    const bool changed = target != directory_ || id.device != device_ || id.inode != inode_;
    directory_ = target;
    device_ = id.device;
    inode_ = id.inode;
    listStale_ = true;
    if (isVisible()) rebuild();
    if (changed) emit directoryChanged(directory_);
    return true;
}

bool TDirectoryListBox::stillThere() const {
    const Identity id = identityOf(directory_);
    return id.valid && id.device == device_ && id.inode == inode_;
}

bool TDirectoryListBox::revalidate() {
    if (stillThere()) return false;
    const QString lost = directory_;
    // The path may still exist, as another folder (a disk unmounted from it leaves the folder it was
    // mounted on): that one is shown then.
    setDirectory(NearestExistingFolder(lost));
    emit directoryLost(lost, directory_);
    return true;
}

void TDirectoryListBox::showEvent(QShowEvent* e) {
    QListWidget::showEvent(e);
    if (listStale_) rebuild();
}

void TDirectoryListBox::rebuild() {
    listStale_ = false;
    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    // The open folders from the root down to the current one, then the current one's subfolders.
    QStringList chain;
    for (QDir d(directory_);;) {
        chain.prepend(d.absolutePath());
        if (d.isRoot() || !d.cdUp()) break;
    }
    int level = 0;
    QListWidgetItem* current = nullptr;
    for (const QString& p : chain) {
        const QString name = QDir(p).isRoot() ? p : QFileInfo(p).fileName();
        auto* item = new QListWidgetItem(openIcon, QString(level * 2, ' ') + name, this);
        item->setData(kPathRole, p);
        current = item;
        ++level;
    }
    QDir dir(directory_);
    const QStringList subs = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& s : subs) {
        auto* item = new QListWidgetItem(closedIcon, QString(level * 2, ' ') + s, this);
        item->setData(kPathRole, dir.absoluteFilePath(s));
    }
    if (current) {
        QFont f = current->font();
        f.setBold(true);
        current->setFont(f);
        setCurrentItem(current);
        scrollToItem(current);
    }
}

void TDirectoryListBox::openItem(QListWidgetItem* item) {
    if (!item) return;
    const QString path = item->data(kPathRole).toString();
    if (setDirectory(path) || revalidate()) return;
    // The folder chosen has gone while the one shown is still there: the list is read again.
    rebuild();
    emit directoryLost(path, directory_);
}

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent) {}

QString TDriveComboBox::rootOf(const QString& path) {
    const QStorageInfo info(path);
    return info.isValid() ? info.rootPath() : QDir::rootPath();
}

QString TDriveComboBox::Drive() const {
    return currentData().toString();
}

void TDriveComboBox::refresh(const QString& path) {
    fill();
    selectRoot(rootOf(path));
}

void TDriveComboBox::fill() {
    const QSignalBlocker block(this);
    clear();
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        const QString root = v.rootPath();
        // Only file systems that can hold a folder to install into (not a file mounted in place of
        // another, as containers do).
        if (!v.isValid() || !v.isReady() || findData(root) >= 0 || !QFileInfo(root).isDir()) continue;
        const QString label =
            v.displayName() == root ? root : QStringLiteral("%1  [%2]").arg(root, v.displayName());
        addItem(style()->standardIcon(QStyle::SP_DriveHDIcon), label, root);
    }
}

void TDriveComboBox::selectRoot(const QString& root) {
    const QSignalBlocker block(this);
    int index = findData(root);
    if (index < 0) {
        addItem(style()->standardIcon(QStyle::SP_DriveHDIcon), root, root);
        index = count() - 1;
    }
    setCurrentIndex(index);
}

void TDriveComboBox::showPopup() {
    const QString chosen = Drive();
    fill();
    selectRoot(chosen);
    QComboBox::showPopup();
}
