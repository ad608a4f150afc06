#pragma once

#include <QWidget>

// The logo in the top left corner. It is read from "imgs/logo.png" beside the executable rather
// than compiled in, so it can be exchanged without a rebuild; without the file the corner stays
// empty.
class UiLogo : public QWidget
{
    Q_OBJECT
public:
    static constexpr int LogoWidth = 200;
    static constexpr int LogoHeight = 80;

    explicit UiLogo(QWidget *parent = nullptr);

    static QString imagePath();
    bool hasImage() const { return m_hasImage; }

private:
    bool m_hasImage = false;
};
