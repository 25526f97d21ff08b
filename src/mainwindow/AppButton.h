#pragma once
// The owner-drawn buttons above and below the panels: the twenty
// application buttons and the ten function-key buttons differ only in what
// they draw and what their clicks do.
#include <QIcon>
#include <QPushButton>

#include <optional>
#include <string>

namespace km {

// The colours a function-key button draws with, from the palette.
struct FunctionKeyColors {
    QColor face, number, name;
};
FunctionKeyColors FunctionKeyColorsFor(const QPalette& palette);

class AppButton : public QPushButton {
    Q_OBJECT
public:
    // `number` is 1–20 for an application button, the key 1–10 for a
    // function-key button.
    AppButton(int number, bool isFunctionKey, QWidget* parent);
    int number() const { return number_; }
    bool isFunctionKey() const { return isFunctionKey_; }

    // The caption ("Naam"), or the action name of a function key.
    void setCaption(const QString& caption);
    const QString& caption() const { return caption_; }
    const QString& actionName() const { return caption_; }
    // The program whose icon an application button shows; a new one drops
    // the cached icon so the next paint looks it up again.
    void setProgram(const std::string& program);
    // The icon as painted: looked up on first need, empty when there is none
    // or "ShowIcon" is 0.
    QIcon icon();

signals:
    void rightClicked();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    int number_;
    bool isFunctionKey_;
    QString caption_;
    std::string program_;
    std::optional<QIcon> icon_;
};

} // namespace km
