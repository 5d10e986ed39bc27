#pragma once
// Drive list and directory tree of the destination chooser. The directory list has one current
// directory, which is also the process's current directory; the drive list offers the mounted file
// systems by their root paths. On this platform the "drive" of a folder is the mounted file system
// that holds it, so a directory tree can lead from one drive into another.
#include <QComboBox>
#include <QHash>
#include <QListWidget>

#include <cstdint>

// The mounted file system holding a folder: its root path and the device number of the folder, so
// that a disk mounted in place of another at the same root counts as another disk.
struct Disk {
    QString root;
    std::uint64_t device = 0;
    bool operator==(const Disk&) const = default;
};

// The disk of the existing folder `path`; an empty root when it cannot be asked.
Disk DiskOf(const QString& path);

// `path` itself when it is an existing directory, else the nearest directory above it that exists
// (at worst the root of the file system).
QString NearestExistingFolder(const QString& path);

// Why files cannot be written into the folder `path` ("Read-only file system", "Permission denied"),
// or an empty text when they can.
QString WriteProblem(const QString& path);

// The folder last visited on each disk, by root path: choosing a disk again opens that folder, as
// each drive keeps its own current directory.
class VisitedFolders {
  public:
    void visit(const QString& root, const QString& folder) { last_.insert(root, folder); }
    // The folder last visited below `root`, or `root` itself.
    QString lastOn(const QString& root) const { return last_.value(root, root); }

  private:
    QHash<QString, QString> last_;
};

class TDirectoryListBox : public QListWidget {
    Q_OBJECT
  public:
    explicit TDirectoryListBox(QWidget* parent = nullptr);

    QString Directory() const { return directory_; }
    // Opens `path` (made absolute against the current directory) and makes it the process's current
    // directory. Returns false, changing nothing, when it cannot be opened.
    bool setDirectory(const QString& path);
    // Whether the directory shown is still the one that was opened: it may have been removed or
    // renamed, or the disk holding it unmounted, since.
    bool stillThere() const;
    // When the directory shown has gone: opens the nearest folder above it that exists, emits
    // directoryLost and returns true. Returns false when nothing had changed.
    bool revalidate();

  signals:
    // The directory (or the disk under it) changed.
    void directoryChanged(const QString& directory);
    // `lost` is no longer there; the list shows `shown` instead.
    void directoryLost(const QString& lost, const QString& shown);

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void rebuild();
    void openItem(QListWidgetItem* item);
    QString directory_;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
    bool listStale_ = true; // the items are built when the list is first seen
};

class TDriveComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit TDriveComboBox(QWidget* parent = nullptr);

    // Root path of the chosen file system.
    QString Drive() const;
    // Fills the list with the mounted file systems and selects the one holding `path`, without
    // raising a change.
    void refresh(const QString& path);
    // Selects the file system at `root` (adding it when the list lacks it), without raising a change.
    void selectRoot(const QString& root);
    // Root path of the mounted file system that holds `path`.
    static QString rootOf(const QString& path);

    // The list is read again each time it opens, so disks mounted or removed since show up as they are.
    void showPopup() override;

  private:
    void fill();
};
