#include "voice/ui/gateway_link_label.h"

namespace vertamo::ui {

TGatewayLinkLabel::TGatewayLinkLabel(QWidget* parent) : QLabel(QStringLiteral("шлюз недоступен"), parent) {
  setObjectName(QStringLiteral("GatewayLink"));
  setStyleSheet(QStringLiteral("color: #C00000; font-weight: bold; padding: 0 6px;"));
  hide();
}

void TGatewayLinkLabel::ShowLink(bool up) { setVisible(!up); }

}  // namespace vertamo::ui
