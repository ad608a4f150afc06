#pragma once

#include <QString>
#include <QWidget>

class QLabel;

// One relay of the home page as a picture (closed or open) over its name. While its battery is
// not heard, the state is unknown: the last picture is drawn faded under a question mark.
//
// The home page numbers its indicators in its own order, which is not the order of the relay
// command (RelayIndex): left to right it shows the pre-charge relay first, the way the current
// flows when a pack starts.
class UiRelayStatus : public QWidget
{
    Q_OBJECT
public:
    enum Type { PreCharge = 0, Discharge = 1, Charge = 2, Main2nd = 3 };

    static constexpr int Side = 150;

    // A type outside 0..3 gets no name and never a picture.
    explicit UiRelayStatus(int type, QWidget *parent = nullptr);

    int type() const { return m_type; }
    QString name() const;
    // The resource path of the picture shown; empty when there is none.
    QString picture() const { return m_picture; }
    bool isKnown() const { return m_known; }

public slots:
    void updateStatus(bool isOn);
    void setKnown(bool known);

private:
    // The relay this indicator shows, as the relay command numbers it; -1 for none.
    static int relayOf(int type);

    int m_type = 0;
    QString m_picture;
    QLabel *m_pictureLabel = nullptr;
    QLabel *m_nameLabel = nullptr;
    QLabel *m_unknownMark = nullptr;
    bool m_known = true;
};
