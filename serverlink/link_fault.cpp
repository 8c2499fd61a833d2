#include "serverlink/link_fault.h"

#include "platform/cp1251.h"
#include "platform/tcp_client.h"
#include "serverlink/line_channel.h"

namespace vertamo {

TLinkFault LinkFaultOfError(int winsockError) {
  switch (winsockError) {
    case 0:
    case wsa::kConnAborted:
    case wsa::kConnReset:
    case wsa::kShutdown:
      return TLinkFault::ServerClosed;
    case wsa::kConnRefused:
      return TLinkFault::Refused;
    case wsa::kTimedOut:
      return TLinkFault::NoAnswer;
    case wsa::kHostNotFound:
    case 11002:  // the name server could not be asked (WSATRY_AGAIN)
    case 11003:  // the look-up failed for good (WSANO_RECOVERY)
    case 11004:  // the name has no IPv4 address (WSANO_DATA)
      return TLinkFault::UnknownHost;
    case 10050:  // the network is down
    case 10051:  // no route to the network
    case 10064:  // the machine is down
    case 10065:  // no route to the machine
      return TLinkFault::Unreachable;
    case wsa::kAddrNotAvail:
      return TLinkFault::BadAddress;
    default:
      return TLinkFault::Failure;
  }
}

TLinkFault LinkFaultOfChannel(const TLineChannel& channel) {
  switch (channel.ReadEnd()) {
    case TReadEnd::TimedOut:
    case TReadEnd::Stopped:
      return TLinkFault::NoAnswer;
    case TReadEnd::Closed:
      return TLinkFault::ServerClosed;
    case TReadEnd::Failed:
      return LinkFaultOfError(channel.ReadError());
    case TReadEnd::None:
      break;
  }
  return TLinkFault::BadReply;
}

std::string LinkFaultText(TLinkFault fault, int error) {
  const char* text = "";
  switch (fault) {
    case TLinkFault::Refused:
      text = "соединение отклонено";
      break;
    case TLinkFault::NoAnswer:
      text = "нет ответа";
      break;
    case TLinkFault::UnknownHost:
      text = "имя сервера не найдено";
      break;
    case TLinkFault::Unreachable:
      text = "сеть недоступна";
      break;
    case TLinkFault::BadAddress:
      text = "неверный адрес или порт в настройках";
      break;
    case TLinkFault::WrongLogin:
      text = "неверное имя или пароль";
      break;
    case TLinkFault::ServerClosed:
      text = "сервер закрыл соединение";
      break;
    case TLinkFault::BadReply:
      text = "непонятный ответ сервера";
      break;
    case TLinkFault::Reload:
      text = "сервер перезагружает карты";
      break;
    case TLinkFault::Failure:
      return Utf8ToCp1251("ошибка сети " + std::to_string(error));
  }
  return Utf8ToCp1251(text);
}

}  // namespace vertamo
