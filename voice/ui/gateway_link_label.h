// The voice window's word on the gateway of a conversation: "шлюз недоступен"
// in the status bar while the gateway link is lost (the talk key then reaches
// nobody until it comes back), nothing while it is up or there is none.
#pragma once

#include <QLabel>

namespace vertamo::ui {

class TGatewayLinkLabel final : public QLabel {
 public:
  explicit TGatewayLinkLabel(QWidget* parent);
  // Up (or no gateway): hidden; down: shown.
  void ShowLink(bool up);
};

}  // namespace vertamo::ui
