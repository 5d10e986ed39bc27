#pragma once
// Drive list and directory tree of the destination chooser. The directory list has one current
// directory, which is also the process's current directory; the drive list offers the mounted file
// systems by their root paths.
#include <QComboBox>
#include <QListWidget>

class TDirectoryListBox : public QListWidget {
    Q_OBJECT
  public:
    explicit TDirectoryListBox(QWidget* parent = nullptr);

    QString Directory() const { return directory_; }
    // Opens `path` (made absolute against the current directory) and makes it the process's current
    // directory. Returns false, changing nothing, when it cannot be opened.
    bool setDirectory(const QString& path);

  signals:
    void directoryChanged(const QString& directory);

  private:
    void rebuild();
    void openItem(QListWidgetItem* item);
    QString directory_;
};

class TDriveComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit TDriveComboBox(QWidget* parent = nullptr);

    // Root path of the chosen file system.
    QString Drive() const;
    // Fills the list with the mounted file systems and selects the one holding `path`.
    void refresh(const QString& path);
    // Root path of the mounted file system that holds `path`.
    static QString rootOf(const QString& path);
};
