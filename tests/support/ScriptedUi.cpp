#include "support/ScriptedUi.h"

namespace {
class RecordingDownloadView final : public IDownloadView {
 public:
  RecordingDownloadView(ScriptedUi &ui, bool cancel) : ui_(ui), cancel_(cancel) {}
  void setStatus1(const QString &t) override { ui_.shown.push_back({"download1", t}); }
  void setStatus2(const QString &t) override { ui_.shown.push_back({"download2", t}); }
  void setProgress(int) override {}
  void onCancel(std::function<void()> h) override { handler_ = std::move(h); }
  void pump() override {
    if (cancel_ && handler_) {
      cancel_ = false;
      handler_();
    }
  }

 private:
  ScriptedUi &ui_;
  bool cancel_;
  std::function<void()> handler_;
};
}  // namespace

TMsgResult ScriptedUi::MessageBox(TMsgKind kind, const QString &text, TMsgButtons buttons) {
  static const char *names[] = {"info", "error", "warning", "confirm"};
  shown.push_back({names[int(kind)], text});
  if (!boxAnswers.empty()) {
    const TMsgResult r = boxAnswers.front();
    boxAnswers.pop_front();
    return r;
  }
  return buttons == TMsgButtons::YesNo ? TMsgResult::No : TMsgResult::OK;
}

TTypeResposta ScriptedUi::ShowMessageForm(const QString &message, const QString &, const QString &, int, int, int,
                                          bool, bool) {
  shown.push_back({"form", message});
  if (formAnswers.empty()) return TTypeResposta::trNone;
  const TTypeResposta r = formAnswers.front();
  formAnswers.pop_front();
  return r;
}

std::unique_ptr<IDownloadView> ScriptedUi::CreateDownloadView(bool cancelAllowed) {
  return std::make_unique<RecordingDownloadView>(*this, cancelAllowed && cancelDownloads);
}

QStringList ScriptedUi::texts(const QString &what) const {
  QStringList out;
  for (const auto &s : shown)
    if (s.what == what) out << s.text;
  return out;
}
