#pragma once

#include <QHash>
#include <QListWidget>
#include <QObject>
#include <QPixmap>
#include <QStringList>

namespace platform {

// An image list: pictures by 1-based position and by key.
class ImageList final : public QObject {
    Q_OBJECT
public:
    explicit ImageList(QObject* parent = nullptr) : QObject(parent) {}

    // Appends a picture; returns its 1-based position. A null picture is not
    // added and returns 0.
    int Add(const QPixmap& picture, const QString& key = QString());
    int Count() const { return int(pictures_.size()); }
    QPixmap Picture(int position) const;
    QPixmap Picture(const QString& key) const;
    void Clear();

private:
    QList<QPixmap> pictures_;
    QHash<QString, int> keys_;
};

// The list view: items with a caption and a picture of its image list.
class ListView final : public QListWidget {
    Q_OBJECT
public:
    explicit ListView(QWidget* parent = nullptr);

    void SetIcons(ImageList* images) { images_ = images; }
    ImageList* Icons() const { return images_; }
    // Adds an item showing the image list's picture at imagePosition (none
    // when 0 or absent); returns its 0-based index.
    int AddListItem(const QString& caption, int imagePosition, const QString& key = QString());
    int ListItemCount() const { return count(); }
    QString ListItemText(int index) const;
    QString ListItemKey(int index) const;
    void ClearItems() { clear(); }

private:
    ImageList* images_ = nullptr;
};

}  // namespace platform
