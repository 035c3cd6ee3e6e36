#include <shlobj.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "automation/com/com_factory.h"
#include "automation/com/word_factory.h"
#include "form/window_rules.h"
#include "window_test_support.h"

namespace quorvane::test {
namespace {

namespace fs = std::filesystem;
using automation::fake::FakeDocument;

// Drag data as a drag source hands it over: a file list (CF_HDROP), or some other format.
class DragData final : public IDataObject {
  public:
    explicit DragData(std::vector<std::u16string> paths, CLIPFORMAT format = CF_HDROP)
        : paths_(std::move(paths)), format_(format) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_IDataObject ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (QueryGetData(format) != S_OK)
            return DV_E_FORMATETC;
        std::wstring list;
        for (const auto& path : paths_)
            list.append(path.begin(), path.end()).push_back(L'\0');
        list.push_back(L'\0');
        const SIZE_T size = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
        auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
        files->pFiles = sizeof(DROPFILES);
        files->fWide = TRUE;
        memcpy(files + 1, list.data(), list.size() * sizeof(wchar_t));
        GlobalUnlock(memory);
        *medium = {};
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        return format->cfFormat == format_ && (format->tymed & TYMED_HGLOBAL) ? S_OK
                                                                              : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

  private:
    std::vector<std::u16string> paths_;
    CLIPFORMAT format_;
};

// The fake word processor, out of process as Word is, under its test name; and a look at the
// window each time a run starts one.
class TestServer final : public automation::ObjectFactory {
  public:
    std::function<void()> watch = [] {};
    automation::Variant create(std::u16string_view) override {
        watch();
        return com_.create(u"Quorvane.TestWord");
    }

  private:
    automation::com::ComObjectFactory com_;
};

class DropTargetTest : public WindowFixture {
  protected:
    void SetUp() override {
        fs::create_directories(dir.path() / "folder");
        fs::create_directories(dir.path() / "out");
        for (const char* name : {"a.doc", "b.doc", "folder/c.doc"})
            writeDocument(dir / name, u"foo");
        // Dir1 opens the folder the program starts in: the copies go there.
        fs::current_path(dir.path() / "out");
        open(word);
        fs::current_path(dir.path().parent_path());
        type(u"TextBox1", u"foo");
        type(u"TextBox2", u"X");
    }

    DWORD dragOver(DragData& data, DWORD allowed) {
        DWORD entered = allowed;
        form->dropTarget().DragEnter(&data, MK_LBUTTON, {5, 5}, &entered);
        DWORD over = allowed;
        form->dropTarget().DragOver(MK_LBUTTON, {6, 6}, &over);
        EXPECT_EQ(entered, over);
        form->dropTarget().DragLeave();
        return over;
    }
    DWORD drop(DragData&& data) {
        DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
        form->dropTarget().DragEnter(&data, MK_LBUTTON, {5, 5}, &effect);
        effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
        form->dropTarget().Drop(&data, 0, {5, 5}, &effect);
        return effect;
    }
    std::u16string body(const std::string& relative) const {
        return FakeDocument::load(dir / relative).value_or(FakeDocument{}).body;
    }

    TempDir dir;
    TestServer server;
    automation::com::WordFactory word{server};
};

TEST_F(DropTargetTest, OnlyAFileListThatMayBeCopiedIsAccepted) {
    DragData files({dir / "a.doc", dir / "folder"});
    EXPECT_EQ(dragOver(files, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK),
              static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(dragOver(files, DROPEFFECT_MOVE | DROPEFFECT_LINK),
              static_cast<DWORD>(DROPEFFECT_NONE));
    DragData text({u"foo"}, CF_UNICODETEXT);
    EXPECT_EQ(dragOver(text, DROPEFFECT_COPY), static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(drop(std::move(text)), static_cast<DWORD>(DROPEFFECT_NONE));
    pump();
    EXPECT_TRUE(fs::is_empty(dir.path() / "out"));
}

// The drop returns before its runs start; they then follow, one per path in the order of the
// list, into copies, with the window busy and another drop refused meanwhile.
TEST_F(DropTargetTest, TheDropReturnsAtOnceAndItsPathsThenRunInOrderIntoCopies) {
    writeFile(dir.path() / "folder" / "junk.doc", "not a document");
    std::vector<bool> busy;
    server.watch = [&] {
        DragData more({dir / "a.doc"});
        busy.push_back(!IsWindowEnabled(form->handle()) && form->messageOwner() != form->handle() &&
                       dragOver(more, DROPEFFECT_COPY) == DROPEFFECT_NONE);
    };
    EXPECT_EQ(drop(DragData({dir / "b.doc", dir / "folder", dir / "a.doc"})),
              static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_TRUE(fs::is_empty(dir.path() / "out"));

    pump();
    EXPECT_EQ(busy, std::vector<bool>(3, true));
    EXPECT_TRUE(IsWindowEnabled(form->handle()));
    for (const char* copy : {"out/a.doc", "out/b.doc", "out/folder/c.doc"})
        EXPECT_EQ(body(copy), u"「X」") << copy;
    EXPECT_EQ(body("a.doc"), u"foo");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].flags, os::MessageBox::kExclamation);
    EXPECT_NE(messages.shown[0].text.find(u"junk.doc"), std::u16string::npos);
}

TEST_F(DropTargetTest, EditingTheOriginalsAsksOncePerDroppedPath) {
    selectPage(1);
    click(u"Option2");
    messages.answers = {os::MessageBox::kYes, os::MessageBox::kNo, os::MessageBox::kYes};
    drop(DragData({dir / "a.doc", dir / "b.doc", dir / "folder"}));
    pump();
    ASSERT_EQ(messages.shown.size(), 3u);
    for (const auto& asked : messages.shown) {
        EXPECT_EQ(asked.text, run::RunDriver::kConfirmText);
        EXPECT_EQ(asked.flags, os::MessageBox::kYesNo | os::MessageBox::kQuestion);
    }
    EXPECT_EQ(body("a.doc"), u"「X」");
    EXPECT_EQ(body("b.doc"), u"foo");
    EXPECT_EQ(body("folder/c.doc"), u"「X」");
}

// A copy that fails ends its run with the notice, and the drop goes on; a path that is gone
// ends the drop with the error.
TEST_F(DropTargetTest, ACopyFailureIsNoticedAndAnEscapedErrorEndsTheDrop) {
    fs::create_directories(dir.path() / "out" / "a.doc");
    drop(DragData({dir / "a.doc", dir / "b.doc", dir / "gone.doc", dir / "folder"}));
    pump();
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text, run::RunDriver::kCopyFailedText);
    EXPECT_EQ(messages.shown[0].flags, os::MessageBox::kCritical);
    EXPECT_EQ(body("out/b.doc"), u"「X」");
    EXPECT_EQ(messages.shown[1].flags, os::MessageBox::kCritical);
    EXPECT_NE(messages.shown[1].text.find(u"gone.doc"), std::u16string::npos);
    EXPECT_FALSE(fs::exists(dir.path() / "out" / "folder"));
}

TEST_F(DropTargetTest, ACloseMidRunEndsTheDropBeforeTheNextDocumentAndThenClosesTheWindow) {
    server.watch = [&] { SendMessageW(form->handle(), WM_CLOSE, 0, 0); };
    drop(DragData({dir / "a.doc", dir / "b.doc"}));
    pump();
    EXPECT_TRUE(fs::is_empty(dir.path() / "out"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.ends_with(form::kClosedMidRun));
    EXPECT_EQ(form->handle(), nullptr);
}

}  // namespace
}  // namespace quorvane::test
