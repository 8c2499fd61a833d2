// A small scenario built in memory for the server tests.
#pragma once

#include <memory>
#include <string>

#include "support/solid_image.h"
#include "tools/orvex-sim/scenario.h"
#include "tools/orvex-sim/server.h"

namespace simtest {

// One colour but for a transparent corner, so that pictures differ in more
// than colour.
inline vertamo::Image Solid(int w, int h, uint32_t argb) {
  vertamo::Image image = vertamo::testing::SolidImage(w, h, argb);
  image.argb[0] = 0x00000000u;
  return image;
}

// Objects: 0 "Лифт 1" (lift, normal, callable cabin 1 / machine room 2),
// 1 "Лифт 2" (lift, faulty from the start), 2 "Датчик 1" (sensor),
// 3 "ПУ 1" (intercom unit), 4 "Лифт 3" on map 1 (two pictures only).
inline std::shared_ptr<orvexsim::Scenario> MakeTestScenario() {
  using namespace orvexsim;
  auto s = std::make_shared<Scenario>();
  s->name = "test";
  s->accounts = {{"disp", "123", "OK Full"}, {"Диспетчер", "пароль", "OK Full"}};
  MapDef district;
  district.name = "Район";
  district.background = Solid(40, 30, 0xFF8090A0u);
  MapDef hall;
  hall.name = "Холл";
  s->maps = {district, hall};
  s->layout.liftBreak = {true, 10, 11, 60, 24, "Tahoma", 0};
  s->layout.ohrAlr = {true, 80, 11, 60, 24, "Tahoma", 0};
  s->layout.puErr = {true, 150, 11, 60, 24, "Arial", 0};
  s->layout.clock.present = true;
  s->layout.clock.x = 220;
  s->layout.clock.y = 11;
  s->layout.clock.w = 100;
  s->layout.clock.h = 24;
  s->layout.clock.fontName = "Arial";
  s->layout.clock.fontSize = 14;
  s->layout.clock.bold = 1;
  s->layout.speaker = {true, 330, 11, 32, 32, 0};

  PictureSetDef lift{"lift", 1, {}};
  lift.pictures.push_back({Solid(8, 8, 0xFF00A000u), "Исправен", StateRole::Normal});
  lift.pictures.push_back({Solid(8, 8, 0xFFD00000u), "Неисправен", StateRole::LiftFault});
  lift.pictures.push_back({Solid(8, 8, 0xFF0000D0u), "Вызов из кабины", StateRole::CabinCall});
  lift.pictures.push_back({Solid(8, 8, 0xFF808080u), "Нет связи", StateRole::NoLink});
  PictureSetDef sensor{"sensor", 1, {}};
  sensor.pictures.push_back({Solid(6, 6, 0xFF00A000u), "Норма", StateRole::Normal});
  sensor.pictures.push_back({Solid(6, 6, 0xFFE06000u), "Сработал шлейф", StateRole::LoopTriggered});
  PictureSetDef pu{"pu", 0, {}};
  pu.pictures.push_back({Solid(10, 10, 0xFF00A000u), "Исправно", StateRole::Normal});
  pu.pictures.push_back({Solid(10, 10, 0xFF6040C0u), "Неисправно", StateRole::IntercomFault});
  s->pictureSets = {lift, sensor, pu};

  ObjectDef lift1;
  lift1.map = 0;
  lift1.x = 10;
  lift1.y = 20;
  lift1.name = "Лифт 1";
  lift1.type = 1;
  lift1.iml = "lift";
  lift1.hint = "Лифт 1$ул. Ленина, 5";
  lift1.capVisible = 1;
  lift1.cx = 0;
  lift1.cy = 2;
  lift1.caption = "Л1";
  lift1.capColor = -1;
  lift1.place = "ул. Ленина, 5";
  CallDef call;
  call.gateway = "127.0.0.1";
  call.h323 = 1720;
  call.com = 2;
  call.adr = 5;
  call.pul = 1;
  call.pulText = "Начать разговор с кабиной";
  call.pu = 2;
  lift1.call = call;
  ObjectDef lift2 = lift1;
  lift2.x = 30;
  lift2.name = "Лифт 2";
  lift2.idx = 1;
  lift2.hint = "Лифт 2";
  lift2.caption.reset();
  lift2.capColor.reset();
  lift2.capVisible.reset();
  lift2.cx.reset();
  lift2.cy.reset();
  lift2.place = "ул. Ленина, 7";
  lift2.call.reset();
  ObjectDef sensor1;
  sensor1.map = 0;
  sensor1.x = 50;
  sensor1.y = 20;
  sensor1.name = "Датчик 1";
  sensor1.type = 2;
  sensor1.iml = "sensor";
  sensor1.hint = "Шлейф";
  sensor1.place = "ул. Ленина, 5, машинное помещение";
  ObjectDef pu1;
  pu1.map = 1;
  pu1.x = 10;
  pu1.y = 30;
  pu1.name = "ПУ 1";
  pu1.type = 3;
  pu1.iml = "pu";
  pu1.hint = "ПУ";
  pu1.caption = "ПУ";
  pu1.capColor = 255;
  pu1.place = "ул. Мира, 1";
  ObjectDef lift3 = lift2;
  lift3.map = 1;
  lift3.name = "Лифт 3";
  lift3.idx = 0;
  lift3.pcount = 2;
  lift3.place = "ул. Мира, 1";
  s->objects = {lift1, lift2, sensor1, pu1, lift3};

  TextDef link;
  link.map = 0;
  link.x = 5;
  link.y = 40;
  link.w = 50;
  link.h = 14;
  link.caption = "В холл";
  link.action = 1;
  link.aparam = 1;
  link.fontName = "Tahoma";
  link.bold = 1;
  TextDef label;
  label.map = 1;
  label.x = 1;
  label.y = 2;
  label.w = 3;
  label.h = 4;
  label.caption = "Холл";
  s->texts = {link, label};
  return s;
}

inline orvexsim::ServerOptions QuietOptions() {
  orvexsim::ServerOptions options;
  options.liveTickMs = 0;
  options.clock = [] { return std::time_t{1767261600}; };  // 2026-01-01 10:00 UTC
  return options;
}

}  // namespace simtest

#include <gtest/gtest.h>

#include "sim/raw_client.h"

namespace simtest {

// A server started on an ephemeral loopback port.
struct SimServer {
  explicit SimServer(std::shared_ptr<orvexsim::Scenario> scenario = MakeTestScenario(),
                     orvexsim::ServerOptions options = QuietOptions()) {
    started = server.Start(std::move(scenario), options, &error);
  }
  orvexsim::Server server;
  bool started = false;
  std::string error;
};

// Connects and logs in as disp / 123; fails the test when that does not work.
inline void LogIn(RawClient& client, const orvexsim::Server& server) {
  ASSERT_TRUE(client.Connect(server.Port()));
  auto verdict = client.Login("disp", "123");
  ASSERT_TRUE(verdict.has_value());
  ASSERT_EQ(*verdict, "OK Full");
}

}  // namespace simtest
