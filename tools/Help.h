// The About box: product picture, version line, notice and an OK button.
#pragma once

#include <QMainWindow>

namespace Ui {
class Help;
}

class Help : public QMainWindow {
    Q_OBJECT
public:
    explicit Help(QWidget *parent = nullptr);
    ~Help() override;

    void setImage(const QString &path);
    void setLabel(const QString &text);

private slots:
    void on_pushButton_clicked();

private:
    Ui::Help *ui;
};
