// The device session's connection sequence and identification against the simulator.
#include <QElapsedTimer>
#include <QFile>

#include "SessionFixture.h"
#include "app/VentraError.h"

TEST_F(SessionTest, GoodScannerOpensOnceFromTheMessageLoop) {
  auto sim = startSim({"--serial", "512345", "--type", "10", "--firmware", "0x0512", "--sp", "41"});
  ASSERT_TRUE(sim);
  EXPECT_TRUE(lib->FlagConnected()) << "the arrival sets the flag";
  ASSERT_EQ(openSession(sim->port()), "DeviceOpened");
  PumpFor(300);  // nothing else may follow
  EXPECT_EQ(events, QStringList({"DeviceConnected", "DeviceListReady", "DeviceOpened"}));
  EXPECT_TRUE(raisedInsideCall.isEmpty()) << raisedInsideCall.join(',').toStdString();
  EXPECT_TRUE(lib->Connected());
  EXPECT_EQ(lib->NrSerieReduzido(), 512345u);
  EXPECT_EQ(lib->LastSerial(), 512345u);
  EXPECT_EQ(lib->TipoEquipamentoEnum(), TType_Equipamento::VentraV5);
  EXPECT_EQ(lib->TipoEquipamentoStr(), "Ventra V5");
  EXPECT_TRUE(lib->V5Family());
  EXPECT_FALSE(lib->V4Family());
  EXPECT_TRUE(lib->EquipComLogs());
  EXPECT_TRUE(lib->EquipUpperV3andCheckline());
  EXPECT_EQ(lib->FirmwareVT(), "0518");
  EXPECT_EQ(lib->FirmwareVTAsInt(), 518);
  EXPECT_EQ(lib->Frame()->ServicePack, 41);
  EXPECT_FALSE(lib->EmBootloader());
  ASSERT_EQ(lib->ListaPortas().size(), 1u);
  EXPECT_EQ(lib->ListaPortas()[0]->COM_NAME(), sim->port());
  for (const char *line : {"Pedir número serial", "Solicitando Nr Serial...", "Nr Serial respondido", "GetInfo72",
                           "OpenConnection, ComName: ", "Conexão aberta com sucesso...", "Ventra conectado..."})
    EXPECT_GE(countLogs(line), 1) << line;

  // opening again reports the port that is already open
  EXPECT_TRUE(lib->OpenConnection(sim->port()));
  EXPECT_TRUE(logs.contains("Já estava conectado com " + sim->port()));
  EXPECT_TRUE(lib->OpenConnection("/dev/other"));
  EXPECT_TRUE(logs.contains("Já estava conectado com " + sim->port() + " - nova conexão chamada na /dev/other"));

  // pulled: the port is closed before the event, the flag cleared
  ASSERT_TRUE(sim->pull());
  ASSERT_TRUE(waitEvent("DeviceDisconnected", 3000));
  EXPECT_TRUE(logs.contains("Ventra desconectada..."));
  EXPECT_FALSE(lib->Connected());
  EXPECT_EQ(lib->Frame(), nullptr);
  EXPECT_EQ(lib->SerialObj(), nullptr);
  EXPECT_FALSE(lib->FlagConnected());
  EXPECT_EQ(lib->NrSerieReduzido(), 0u);
  EXPECT_EQ(lib->TipoEquipamentoEnum(), TType_Equipamento::VersaoDesc);

  // plugged again: listing recreates the shared objects and the same scanner is accepted
  ASSERT_TRUE(sim->plug());
  ASSERT_TRUE(waitEvent("DeviceConnected", 3000));
  ASSERT_EQ(openSession(sim->port()), "DeviceOpened");
  EXPECT_EQ(events.count("DeviceOpened"), 2);
}

TEST_F(SessionTest, SerialNumberUnansweredThenZeroIsInvalidAfterThirteenRequests) {
  // The one test that pays for the full retry schedule: six silent requests, then answers of 0.
  auto sim = startSim({"--serial", "0", "--silent", "69:6"});
  ASSERT_TRUE(sim);
  QElapsedTimer t;
  t.start();
  ASSERT_EQ(openSession(sim->port(), 30000), "SerialInvalido");
  EXPECT_GE(t.elapsed(), 6 * 1000 + 12 * 500 - 500);
  QStringList countdown;
  for (const QString &l : logs)
    if (l.startsWith("Não respondeu NrSerie, tentativa: ")) countdown << l.mid(34);
  EXPECT_EQ(countdown, QStringList({"12", "11", "10", "9", "8", "7", "6", "5", "4", "3", "2", "1"}));
  EXPECT_EQ(countLogs("Solicitando Nr Serial..."), 13);
  EXPECT_EQ(sim->stats()["69"], 7u) << "six were left unanswered";
  EXPECT_TRUE(logs.contains("Nr Serial não respondido"));
  EXPECT_TRUE(logs.contains("SerialInvalido"));
  EXPECT_EQ(lib->LastSerial(), 0u);
  EXPECT_TRUE(lib->Connected()) << "an unanswered serial does not close the port";
  EXPECT_TRUE(raisedInsideCall.isEmpty());
}

TEST_F(SessionTest, SecondScannerWithAnotherSerialIsRefused) {
  auto first = startSim({"--serial", "400001", "--name", "first"});
  ASSERT_TRUE(first);
  ASSERT_EQ(openSession(first->port()), "DeviceOpened");
  ASSERT_TRUE(first->pull());
  ASSERT_TRUE(waitEvent("DeviceDisconnected", 3000));

  auto second = startSim({"--serial", "400002", "--name", "second"});
  ASSERT_TRUE(second);
  EXPECT_EQ(openSession(second->port()), "NrSerieDivergente");
  EXPECT_FALSE(lib->Connected());
  EXPECT_EQ(lib->LastSerial(), 400001u);
  EXPECT_EQ(second->stats()["72"], 0u) << "not identified";
  ASSERT_TRUE(second->pull());
  ASSERT_TRUE(waitEvent("DeviceDisconnected", 3000));

  ASSERT_TRUE(first->plug());
  ASSERT_TRUE(waitEvent("DeviceConnected", 3000));
  EXPECT_EQ(openSession(first->port()), "DeviceOpened");
}

TEST_F(SessionTest, InvalidTypeClosesThePort) {
  for (const char *type : {"0", "1", "16"}) {
    SCOPED_TRACE(type);
    logs.clear();
    auto sim = startSim({"--type", type, "--name", QString("t%1").arg(type)});
    ASSERT_TRUE(sim);
    EXPECT_EQ(openSession(sim->port()), "ConnectionError");
    EXPECT_TRUE(logs.contains("Tipo do equipamento inválido"));
    EXPECT_TRUE(logs.contains("ConnectionError"));
    EXPECT_FALSE(lib->Connected());
    EXPECT_EQ(lib->Frame(), nullptr);
    ASSERT_TRUE(sim->pull());
    ASSERT_TRUE(waitEvent("DeviceDisconnected", 3000));
  }
}

TEST_F(SessionTest, CheckLineTakesItsServicePackFromTheSecondExchange) {
  auto sim = startSim({"--type", "2", "--sp", "77", "--sw", "9"});
  ASSERT_TRUE(sim);
  ASSERT_EQ(openSession(sim->port()), "DeviceOpened");
  EXPECT_EQ(lib->TipoEquipamentoEnum(), TType_Equipamento::Checkline);
  EXPECT_EQ(lib->Frame()->ServicePack, 77);
  EXPECT_EQ(lib->Frame()->VersaoSW, 9);
  EXPECT_TRUE(lib->EquipUpperV3andCheckline());
  EXPECT_FALSE(lib->EquipComLogs());
  const auto s = sim->stats();
  EXPECT_EQ(s.at("72"), 1u);
  EXPECT_EQ(s.at("AF"), 1u);
}

TEST_F(SessionTest, BootLoaderIsListedWithoutHotPlugEvents) {
  auto sim = startSim({"--pid", "1001"}, false);
  ASSERT_TRUE(sim);
  PumpFor(400);
  EXPECT_TRUE(events.isEmpty());
  lib->ListarPortasCOM();
  ASSERT_TRUE(waitEvent("DeviceListReady", 2000));
  ASSERT_EQ(lib->ListaPortas().size(), 1u);
  EXPECT_EQ(lib->ListaPortas()[0]->PID(), 1001);
  EXPECT_TRUE(lib->EmBootloader());
  ASSERT_TRUE(sim->pull());
  PumpFor(400);
  EXPECT_EQ(events, QStringList({"DeviceListReady"}));
  lib->ListarPortasCOM();
  ASSERT_TRUE(waitEvent("DeviceListReady", 2000));
  EXPECT_TRUE(lib->ListaPortas().empty());
  EXPECT_TRUE(lib->EmBootloader()) << "never cleared";
}

TEST_F(SessionTest, CloseThenListReportsOnlyTheList) {
  auto sim = startSim();
  ASSERT_TRUE(sim);
  ASSERT_EQ(openSession(sim->port()), "DeviceOpened");
  events.clear();
  lib->CloseConnection();
  EXPECT_FALSE(lib->Connected());
  EXPECT_EQ(lib->Frame(), nullptr);
  EXPECT_THROW(lib->GetInfo72(), VentraError);
  // without a port object
  try {
    lib->OpenConnection(sim->port());
    ADD_FAILURE() << "no exception";
  } catch (const VentraError &e) {
    EXPECT_EQ(e.text(), "Objeto Serial não existe.");
  }
  lib->ListarPortasCOM();  // within 100 ms: replaces the pending close report
  PumpFor(400);
  EXPECT_EQ(events, QStringList({"DeviceListReady"}));
  try {
    lib->OpenConnection("");
    ADD_FAILURE() << "no exception";
  } catch (const VentraError &e) {
    EXPECT_EQ(e.text(), "nome de porta inválido.");
  }
  EXPECT_FALSE(lib->OpenConnection("/dev/not-listed"));
  // and without a scanner the list is empty and still reported
  ASSERT_TRUE(sim->pull());
  ASSERT_TRUE(waitEvent("DeviceDisconnected", 3000));
  lib->ListarPortasCOM();
  ASSERT_TRUE(waitEvent("DeviceListReady", 2000));
  EXPECT_TRUE(lib->ListaPortas().empty());
}

TEST_F(SessionTest, ResetUnplugsAndReturnsWithTheSameIdentityAndFiles) {
  auto sim = startSim({"--reset-delay-ms", "300", "--serial", "654321"});
  ASSERT_TRUE(sim);
  {
    QFile f(sim->filesDir() + "/KEEP.DAT");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("persist");
  }
  ASSERT_EQ(openSession(sim->port()), "DeviceOpened");
  lib->ResetFisico();
  ASSERT_TRUE(waitEvent("DeviceDisconnected", 3000));
  ASSERT_FALSE(sim->waitLine("plugged ", 3000).isEmpty());
  ASSERT_TRUE(waitEvent("DeviceConnected", 3000));
  lib->ListarPortasCOM();
  ASSERT_TRUE(waitEvent("DeviceListReady", 2000));
  ASSERT_EQ(lib->ListaPortas().size(), 1u);
  const QString port = lib->ListaPortas()[0]->COM_NAME();  // a copy: listing again renews the entries
  ASSERT_EQ(openSession(port), "DeviceOpened");
  EXPECT_EQ(lib->NrSerieReduzido(), 654321u);
  EXPECT_EQ(lib->GetFileSize("KEEP.DAT"), 7u);
}

TEST_F(SessionTest, ClockCarriesAnHourPushedOutOfTheDay) {
  auto sim = startSim({"--type", "8"});
  ASSERT_TRUE(sim);
  ASSERT_EQ(openSession(sim->port()), "DeviceOpened");
  struct {
    int offset;
    const char *d, *m, *y, *h;
    const char *sent;
  } cases[] = {
      {-3, "15", "06", "26", "14", "260615113000"},  // plain
      {-3, "01", "01", "26", "01", "251231223000"},  // back into the previous year
      {3, "28", "02", "24", "22", "240229013000"},   // forward into a leap day
      {0, "05", "07", "26", "09", "260705093000"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.sent);
    lib->V4_GravaDataHora(c.offset, c.d, c.m, c.y, c.h, "30", "00");
    EXPECT_EQ(sim->waitLine("clock ", 3000), QString("clock ") + c.sent);
    EXPECT_TRUE(lib->Frame()->Ack);
    EXPECT_EQ(lib->Frame()->cmd, 0x77);
  }
  lib->GetInfo72();
  EXPECT_TRUE(lib->Frame()->DataHoraV4.startsWith("05/07/26 09:30:")) << lib->Frame()->DataHoraV4.toStdString();
  // texts that are no date are not sent
  lib->V4_GravaDataHora(0, "31", "02", "26", "10", "00", "00");
  EXPECT_EQ(sim->stats()["77"], 4u);
}

TEST(SessionProperties, FirmwareAtualizadoRules) {
  EnsureQtApp();
  auto *lib = TClass_VentraLib::GetInstance();
  struct {
    uint16_t word;
    const char *ide;
    bool current;
  } cases[] = {{0x0512, "518", true}, {0x0511, "518", false}, {0x0512, "", false},
               {0x0512, "abc", false}, {0x0600, "518", true}};
  for (const auto &c : cases) {
    lib->Frame()->VersaoFirmware = c.word;
    lib->setFirmwareIDE(c.ide);
    EXPECT_EQ(lib->FirmwareAtualizado(), c.current) << c.word << " " << c.ide;
  }
  TClass_VentraLib::FreeInstance();
}
