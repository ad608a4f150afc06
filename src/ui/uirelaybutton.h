#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

// One relay of the parameter page: a picture of the relay, closed or open, that can be
// clicked, over the relay's name. Relays are numbered as the relay command numbers them
// (RelayIndex).
//
// A click only reports the relay; the button never changes its picture by itself. The picture
// is set from outside with what the battery last broadcast, so it never shows a state the relay
// has not reached.
class UiRelayButton : public QWidget
{
    Q_OBJECT
public:
    static constexpr int Width = 180;
    static constexpr int Height = 150;
    // The size of the relay artwork.
    static constexpr int PictureWidth = 160;
    static constexpr int PictureHeight = 120;

    // A type outside 0..3 gets neither a name nor a picture.
    explicit UiRelayButton(int type, QWidget *parent = nullptr);

    int type() const { return m_type; }
    QString name() const;
    // The resource path of the picture shown; empty when there is none.
    QString picture() const { return m_picture; }
    QPushButton *button() const { return m_button; }

    // The push button's style sheet for a picture.
    static QString pictureStyle(const QString &picture);

signals:
    void clicked(int type);

public slots:
    void updateStatus(bool isOn);
    void OnClickButton();

private:
    int m_type = 0;
    QString m_picture;
    QPushButton *m_button = nullptr;
    QLabel *m_nameLabel = nullptr;
};
