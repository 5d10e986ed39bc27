#include "setup/dirlist.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStorageInfo>
#include <QStyle>

namespace {
constexpr int kPathRole = Qt::UserRole + 1;
} // namespace

TDirectoryListBox::TDirectoryListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemActivated, this, &TDirectoryListBox::openItem);
    setDirectory(QDir::currentPath());
}

bool TDirectoryListBox::setDirectory(const QString& path) {
    const QFileInfo fi(QDir::current().absoluteFilePath(path));
    const QString target = fi.canonicalFilePath();
    if (target.isEmpty() || !fi.isDir() || !QDir::setCurrent(target)) return false;
    const bool changed = target != directory_;
    directory_ = target;
    rebuild();
    if (changed) emit directoryChanged(directory_);
    return true;
}

void TDirectoryListBox::rebuild() {
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
    if (item) setDirectory(item->data(kPathRole).toString());
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
    const QSignalBlocker block(this);
    clear();
    QStringList roots;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || !v.isReady()) continue;
        const QString root = v.rootPath();
        if (roots.contains(root)) continue;
        roots << root;
        const QString label =
            v.displayName() == root ? root : QStringLiteral("%1  [%2]").arg(root, v.displayName());
        addItem(style()->standardIcon(QStyle::SP_DriveHDIcon), label, root);
    }
    const QString mine = rootOf(path);
    int index = findData(mine);
    if (index < 0) {
        addItem(style()->standardIcon(QStyle::SP_DriveHDIcon), mine, mine);
        index = count() - 1;
    }
    setCurrentIndex(index);
}
