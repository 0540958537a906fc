#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <nlohmann/json.hpp>

#include "app/VentraError.h"
#include "server/HttpClient.h"
#include "support/QtPrinters.h"
#include "server/RestLib.h"
#include "support/QtPump.h"
#include "support/ServerProcess.h"

namespace {
using json = nlohmann::json;

// The stand-in with a script of REST replies; every test case starts its own.
class RestLibTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureQtApp(); }
  void start(const json &script) {
    QFile f(tmp.filePath("script.json"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray::fromStdString(script.dump()));
    f.close();
    server = std::make_unique<ServerProcess>(QStringList{"--rest-script", f.fileName()});
    ASSERT_TRUE(server->start());
    base = server->baseUrl() + "rest/";
  }
  // What the stand-in received, oldest first.
  json received() {
    HttpClient::Request r;
    r.url = server->baseUrl() + "rest-log";
    const auto reply = HttpClient::Perform(r);
    return json::parse(reply.body.toStdString());
  }
  static json reply(const std::string &method, const std::string &path, int status, const std::string &body,
                    const std::string &contentType = "application/json") {
    return {{"method", method}, {"path", path}, {"status", status}, {"body", body}, {"contentType", contentType}};
  }

  QTemporaryDir tmp;
  std::unique_ptr<ServerProcess> server;
  QString base;
  TClass_RestLib &rest = TClass_RestLib::GetInstance();
};

struct TextCase {
  const char *body;
  const char *asString;  // GetResponseAsString
  const char *asObjStr;  // GetResponseAsObjStr
};

TEST_F(RestLibTest, ReplyConventionsOfThePlainGet) {
  const TextCase cases[] = {
      {R"({"result":["OK"]})", "OK", "OK"},
      {R"({"result":["S"]})", "S", "S"},
      {R"({"result":["N"]})", "N", "N"},
      {R"({"result":["TRUE"]})", "TRUE", "TRUE"},
      {R"({"result":["FALSE"]})", "FALSE", "FALSE"},
      {R"({"result":["OK","X"]})", R"({"result":["OK","X"]})", R"("OK")"},
      {R"({"result":[{"id":7,"nome":"Oficina"}]})", R"({"result":[{"id":7,"nome":"Oficina"}]})",
       R"({"id":7,"nome":"Oficina"})"},
      {R"([{"id":1},{"id":2}])", R"([{"id":1},{"id":2}])", R"({"id":1})"},
      {R"({"result":["texto"]})", R"({"result":["texto"]})", R"("texto")"},
      {"null", "null", "VAZIO"},
      {" NuLl", " NuLl", "VAZIO"},
      {"sem dados: VAZIO", "sem dados: VAZIO", "VAZIO"},
      {R"({"result":["ERRO de banco"]})", R"({"result":["ERRO de banco"]})", "ERRO"},
      {R"({"result":[]})", R"({"result":[]})", "VAZIO"},
      {R"({"result":[ quebrado)", R"({"result":[ quebrado)", R"({"result":[ quebrado)"},
      {"texto simples", "texto simples", "texto simples"},
  };
  json script = json::array();
  for (size_t i = 0; i < std::size(cases); ++i)
    script.push_back(reply("GET", "/rest/c" + std::to_string(i), 200, cases[i].body));
  start(script);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const QString res = "c" + QString::number(i);
    EXPECT_EQ(rest.GetResponseAsString(base, res, ""), QString::fromUtf8(cases[i].asString)) << cases[i].body;
    EXPECT_EQ(rest.GetResponseAsObjStr(base, res, ""), QString::fromUtf8(cases[i].asObjStr)) << cases[i].body;
  }
}

TEST_F(RestLibTest, PlainGetFailuresAnswerErro) {
  start(json::array({reply("GET", "/rest/falha", 404, "nada"), reply("GET", "/rest/interno", 500, "{}")}));
  EXPECT_EQ(rest.GetResponseAsString(base, "falha", ""), "ERRO");
  EXPECT_EQ(rest.GetResponseAsString(base, "interno", ""), "ERRO");
  EXPECT_EQ(rest.GetResponseAsObjStr(base, "interno", ""), "ERRO");
  // nothing listens on port 1
  EXPECT_EQ(rest.GetResponseAsString("http://127.0.0.1:1/", "x", ""), "ERRO");
  EXPECT_EQ(rest.GetResponseAsObjStr("http://127.0.0.1:1/", "x", ""), "ERRO");
}

TEST_F(RestLibTest, AuthorisationHeaderOnlyWithAToken) {
  start(json::array({reply("GET", "/rest/p", 200, R"({"result":["OK"]})")}));
  int status = 0;
  rest.GetResponseAsString(base, "p", "?a=1", "tok-123");
  rest.GetResponseAsString(base, "p", "?a=2");
  rest.GETNETRest(base, "p", "?a=3", "tok 456", status);
  rest.GETNETRest(base, "p", "?a=4", "", status);
  const json got = received();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0]["target"], "/rest/p?a=1");
  EXPECT_EQ(got[0]["authorization"], "Bearer tok-123");
  EXPECT_TRUE(got[1]["authorization"].is_null());
  EXPECT_EQ(got[2]["authorization"], "Bearer tok 456");  // sent unchanged, not encoded
  EXPECT_TRUE(got[3]["authorization"].is_null());
  EXPECT_EQ(got[2]["accept"], "application/json, text/plain; q=0.9, text/html;q=0.8,");
}

TEST_F(RestLibTest, GetNetRestUnescapesAndReportsOtherStatusesWithTheTokenMasked) {
  start(json::array({
      reply("GET", "/rest/obj", 200, R"("{\"id\":5,\"nome\":\"A\"}")"),
      reply("GET", "/rest/nf/300123", 404, R"({"result":["Registro inexistente"]})"),
      reply("GET", "/rest/html", 404, "<html>nao</html>", "text/html"),
      reply("GET", "/rest/boom", 500, "{}"),
  }));
  QStringList debug;
  rest.SetOnDebug([&](const QString &l) { debug << l; });
  int status = 0;
  EXPECT_EQ(rest.GETNETRest(base, "obj", "", "segredo-xyz", status), R"({"id":5,"nome":"A"})");
  EXPECT_EQ(status, 200);

  const QString line = rest.GETNETRest(base, "nf", "/300123", "segredo-xyz", status);
  EXPECT_EQ(status, 404);
  EXPECT_EQ(line, "Server: " + base + " - Resource: nf - ParamValue: /300123 - Token: **** - Statuscode: 404 - "
                  "\"Registro inexistente\"");
  EXPECT_EQ(rest.GETNETRest(base, "html", "", "", status),
            "Server: " + base + " - Resource: html - ParamValue:  - Token:  - Statuscode: 404 - ");
  ASSERT_EQ(debug.size(), 2);
  EXPECT_EQ(debug[0], line);
  for (const QString &l : debug) EXPECT_FALSE(l.contains("segredo")) << l.toStdString();

  EXPECT_THROW(rest.GETNETRest(base, "boom", "", "", status), VentraError);
  EXPECT_THROW(rest.GETNETRest("http://127.0.0.1:1/", "x", "", "", status), VentraError);
  rest.SetOnDebug(nullptr);
}

TEST_F(RestLibTest, PostAndPutSendCompactJsonAndMapStatuses) {
  start(json::array({
      reply("POST", "/rest/reg", 201, R"({"id":9})"),
      reply("PUT", "/rest/reg", 200, R"({"result":["OK"]})"),
      reply("PUT", "/rest/bad", 400, R"({"erro":["Campo inválido"]})"),
      reply("POST", "/rest/boom", 500, "x"),
  }));
  const TClass_RestLib::TJson body = {{"nrSerie", "300123"}, {"nome", "Oficina São João"}};
  int status = 0;
  EXPECT_EQ(rest.POSTNETObjectWithParam(base, "reg", "", "t1", &body, status), R"({"id":9})");
  EXPECT_EQ(status, 201);
  EXPECT_EQ(rest.PUTNETObjectWithParam(base, "reg", "", "", &body, status), R"({"result":["OK"]})");
  EXPECT_EQ(rest.PUTNETObjectStrWithParam(base, "bad", "", "", R"({"a":1})", status), "\"Campo inválido\"");
  EXPECT_EQ(status, 400);
  EXPECT_EQ(rest.PUTNETObjectWithParam(base, "reg", "", "", nullptr, status), R"({"result":["OK"]})");
  EXPECT_THROW(rest.POSTNETObjectWithParam(base, "boom", "", "", &body, status), VentraError);

  const json got = received();
  ASSERT_GE(got.size(), 4u);
  EXPECT_EQ(got[0]["method"], "POST");
  EXPECT_EQ(got[0]["body"], body.dump());
  EXPECT_EQ(got[0]["contentType"], "application/json");
  EXPECT_EQ(got[0]["authorization"], "Bearer t1");
  EXPECT_EQ(got[2]["body"], R"({"a":1})");
  EXPECT_EQ(got[3]["body"], "");
}

TEST_F(RestLibTest, ObjectCallsAnswerOkOrTheReplyText) {
  start(json::array({
      reply("POST", "/rest/a", 200, R"({"result":["OK"]})"),
      reply("POST", "/rest/b", 200, R"("OK")"),
      reply("POST", "/rest/c", 200, R"({"result":["NOK"]})"),
      reply("PUT", "/rest/a", 200, R"({"result":["OK"]})"),
      reply("PUT", "/rest/b", 200, R"("OK")"),
      reply("DELETE", "/rest/item/abc d", 200, R"({"result":["OK"]})"),
      reply("DELETE", "/rest/item/x", 200, R"({"result":["Não achou"]})"),
  }));
  const TClass_RestLib::TJson body = {{"iD", 1}};
  EXPECT_EQ(rest.POSTObject(base, &body, "a"), "OK");
  EXPECT_EQ(rest.POSTObject(base, &body, "b"), "OK");
  EXPECT_EQ(rest.POSTObject(base, &body, "c"), R"({"result":["NOK"]})");
  EXPECT_EQ(rest.PUTObject(base, &body, "a"), "OK");
  EXPECT_EQ(rest.PUTObject(base, &body, "b"), R"("OK")");
  EXPECT_EQ(rest.DELObject(base, "item", "abc d"), "OK");
  EXPECT_EQ(rest.DELObject(base, "item", "x"), R"({"result":["Não achou"]})");
  const json got = received();
  EXPECT_TRUE(got[0]["authorization"].is_null());
  EXPECT_EQ(got[5]["target"], "/rest/item/abc%20d");
}

TEST_F(RestLibTest, RedirectsAreFollowed) {
  start(json::array({
      json{{"method", "GET"}, {"path", "/rest/old"}, {"status", 302}, {"body", ""},
           {"headers", {{"Location", "/rest/new"}}}},
      reply("GET", "/rest/new", 200, R"({"v":1})"),
  }));
  int status = 0;
  EXPECT_EQ(rest.GETNETRest(base, "old", "", "", status), R"({"v":1})");
  EXPECT_EQ(status, 200);
}

TEST(RestLibText, UnescapeAndFirstResult) {
  EXPECT_EQ(TClass_RestLib::UnescapeJsonText(R"("{\"a\":\"b\"}")"), R"({"a":"b"})");
  EXPECT_EQ(TClass_RestLib::UnescapeJsonText("plain"), "plain");
  struct {
    const char *in, *out;
  } cases[] = {
      {R"({"result":["x"]})", R"("x")"},
      {R"({"erros":[{"c":1},2]})", R"({"c":1})"},
      {R"({"result":[]})", ""},
      {R"({"result":"x"})", ""},
      {R"({})", ""},
      {R"([1,2])", ""},
      {"not json", ""},
      {"", ""},
  };
  for (const auto &c : cases) EXPECT_EQ(TClass_RestLib::FirstResultText(c.in), QString::fromUtf8(c.out)) << c.in;
  EXPECT_EQ(TClass_RestLib::MaskToken(""), "");
  EXPECT_EQ(TClass_RestLib::MaskToken("abc.def.ghi"), "****");
}
}  // namespace
