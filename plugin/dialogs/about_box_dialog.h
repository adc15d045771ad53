// The about box: the about message, two web addresses and OK.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <string>

class QMouseEvent;

namespace pmk::ui {

// The about message, shown by the about box and by the viewer's "About...".
QString AboutMessage();

// The texts of the two address items: the product's description page and the
// URL-shortening service (its configured address without the scheme).
QString ProductAddress();
QString ShortenerAddress();

class AboutBox : public QDialog {
 public:
  // Pressing an address item hands "http://<its text>" to `open_address`;
  // the box stays open.
  using OpenAddress = std::function<void(const std::string& url)>;
  AboutBox(QWidget* owner, OpenAddress open_address);

 protected:
  // A left click anywhere but on an item closes the box.
  void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace pmk::ui
