#include "app/ShellUi.h"

namespace {
class NullDownloadView final : public IDownloadView {
 public:
  void setStatus1(const QString &) override {}
  void setStatus2(const QString &) override {}
  void setProgress(int) override {}
  void onCancel(std::function<void()>) override {}
  void pump() override {}
};

class SilentUi final : public IShellUi {
 public:
  TMsgResult MessageBox(TMsgKind, const QString &, TMsgButtons buttons) override {
    return buttons == TMsgButtons::YesNo ? TMsgResult::No : TMsgResult::OK;
  }
  TTypeResposta ShowMessageForm(const QString &, const QString &, const QString &, int, int, int, bool,
                                bool) override {
    return TTypeResposta::trNone;
  }
  void StatusShowMsg(const QString &) override {}
  void StatusClose() override {}
  std::unique_ptr<IDownloadView> CreateDownloadView(bool) override { return std::make_unique<NullDownloadView>(); }
};

SilentUi g_silent;
IShellUi *g_ui = nullptr;
}  // namespace

namespace ShellUi {
IShellUi &get() { return g_ui ? *g_ui : g_silent; }
void install(IShellUi *ui) { g_ui = ui; }
}  // namespace ShellUi
