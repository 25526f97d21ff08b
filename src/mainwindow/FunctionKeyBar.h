#pragma once
// The ten function-key buttons under the panels: F1 help, F2–F9 with their
// assigned actions, F10 exit.
#include <QPushButton>

#include <array>
#include <functional>

namespace km {

class FunctionKeyButton : public QPushButton {
    Q_OBJECT
public:
    FunctionKeyButton(int key, QWidget* parent);
    int key() const { return key_; }
    void setActionName(const QString& name);
    const QString& actionName() const { return name_; }

signals:
    void rightClicked();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    int key_;
    QString name_;
};

class FunctionKeyBar : public QObject {
    Q_OBJECT
public:
    // `onCommand` receives the command a button posts; `onDefine` opens the
    // assignment dialog (right click).
    FunctionKeyBar(QWidget* parent, std::function<void(int)> onCommand, std::function<void()> onDefine);
    FunctionKeyButton* button(int index) const { return buttons_[static_cast<size_t>(index)]; }
    // Relabels F2–F9 from the stored assignment.
    void Relabel();
    void setVisible(bool visible);

private:
    std::array<FunctionKeyButton*, 10> buttons_{};
};

} // namespace km
