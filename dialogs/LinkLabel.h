#pragma once

#include <QString>
#include <QVariantMap>
#include <QWidget>

class QLabel;
class QMenu;
class QAction;

// A one-line hyperlink: shows a URL (without its protocol prefix) and opens
// prefix & URL with the system's URL handler on a left click; the right
// button offers "&Copy URL", which copies the URL without the prefix. The
// control always takes the size of its inner label.
class LinkLabel final : public QWidget {
    Q_OBJECT
public:
    explicit LinkLabel(QWidget* parent = nullptr);

    // The label's text. An empty text is refused with a message box and the
    // old URL stays.
    QString URL() const;
    void SetURL(const QString& url);
    // Index into the prefix table (0 ftp .. 8 file, 9 CustomProtocol); any
    // other value is stored as given and opens nothing.
    int32_t Protocol() const { return protocol_; }
    void SetProtocol(int32_t protocol);
    QString CustomProtocol() const { return customProtocol_; }
    void SetCustomProtocol(const QString& prefix);

    // What a click opens: prefix & URL, or "" for a protocol outside the
    // table.
    QString Target() const;
    // Opens the URL as a left click does; a handler that cannot be started is
    // reported in the platform's message box.
    void CallClick();
    // The context menu's "&Copy URL".
    void mnucopy_Click();

    // The properties as the containing window stores them: "URL",
    // "Protocol" and "CustomProtocol", each read with its default when
    // missing and written only when it differs from it.
    void ReadProperties(const QVariantMap& bag);
    QVariantMap WriteProperties() const;

    QLabel* lblurl() const { return lblurl_; }
    QMenu* mnumain() const { return mnumain_; }

    QSize sizeHint() const override;

    static QString ProtocolPrefix(int32_t protocol, const QString& customProtocol);

signals:
    // A property was set through its setter; the name as stored.
    void PropertyChanged(const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FitToLabel();

    QLabel* lblurl_ = nullptr;
    QMenu* mnumain_ = nullptr;
    QAction* mnucopy_ = nullptr;
    int32_t protocol_ = 2;
    QString customProtocol_;
};

// The design default of "URL".
inline constexpr const char* kLinkLabelDefaultURL = "www.example.com";
