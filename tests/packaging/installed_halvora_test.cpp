// An installed halvora under Wine, run by installer_wine_test.sh right after a
// session start (wineboot), with --bin set to the install folder: a log-on
// starts it through the installer's task, with the rights its manifest asks
// for, and the silent uninstaller stops it with halvstop and removes its files.
#include <gtest/gtest.h>

#include <initguid.h>
#include <taskschd.h>

#include <string>

#include "halvora_fixture.h"
#include "harness.h"

namespace {

bool Exists(const std::string& name) { return GetFileAttributesA((wt::g_bin + name).c_str()) != INVALID_FILE_ATTRIBUTES; }

// The requested execution level in a program's manifest resource ("" when none).
std::string ManifestLevel(const std::string& exe) {
    HMODULE m = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!m) return "";
    std::string xml;
    if (HRSRC r = FindResourceA(m, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {  // RT_MANIFEST
        if (HGLOBAL g = LoadResource(m, r))
            xml.assign(static_cast<const char*>(LockResource(g)), SizeofResource(m, r));
    }
    FreeLibrary(m);
    const std::string key = "requestedExecutionLevel level=\"";
    std::size_t at = xml.find(key);
    if (at == std::string::npos) return "";
    at += key.size();
    return xml.substr(at, xml.find('"', at) - at);
}

// Whether the Task Scheduler holds a task of that name.
bool TaskRegistered(const wchar_t* name) {
    bool found = false;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ITaskService* service = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                   reinterpret_cast<void**>(&service)))) {
        VARIANT none = {};
        ITaskFolder* root = nullptr;
        IRegisteredTask* task = nullptr;
        BSTR rootName = SysAllocString(L"\\");
        BSTR taskName = SysAllocString(name);
        if (SUCCEEDED(service->Connect(none, none, none, none)) && SUCCEEDED(service->GetFolder(rootName, &root)) &&
            SUCCEEDED(root->GetTask(taskName, &task))) {
            found = true;
            task->Release();
        }
        if (root) root->Release();
        SysFreeString(rootName);
        SysFreeString(taskName);
        service->Release();
    }
    CoUninitialize();
    return found;
}

// The text of one element of the task definition ("" when missing).
std::string Element(const std::string& xml, const std::string& name) {
    const std::string open = "<" + name + ">";
    std::size_t at = xml.find(open);
    if (at == std::string::npos) return "";
    at += open.size();
    std::size_t end = xml.find("</" + name + ">", at);
    return end == std::string::npos ? "" : xml.substr(at, end - at);
}

// The task definition the installer registered (UTF-16 with a byte-order mark).
std::string TaskDefinition() {
    std::string raw = wt::ReadFileText(wt::g_bin + "halvora-task.xml");
    if (raw.size() < 2 || static_cast<unsigned char>(raw[0]) != 0xFF || static_cast<unsigned char>(raw[1]) != 0xFE)
        return "";
    std::wstring wide(reinterpret_cast<const wchar_t*>(raw.data() + 2), (raw.size() - 2) / 2);
    std::string out(wide.size() * 2 + 1, '\0');
    int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), &out[0],
                                static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
}

// What the Task Scheduler does at a log-on for a task with a log-on trigger:
// starts its command (in its folder, the install folder). Wine keeps
// registered tasks but runs no log-on trigger, so the test does it.
bool LogOn(const std::string& xml, wt::Process& started) {
    if (Element(xml, "LogonTrigger").find("<Enabled>true</Enabled>") == std::string::npos) return false;
    const std::string command = Element(xml, "Command");
    if (command != Element(xml, "WorkingDirectory") + "\\halvora.exe") return false;
    return started.Start(command);
}

TEST(InstalledHalvora, StartedAtLogOnByItsTaskAndStoppedByTheUninstaller) {
    if (!Exists("uninstall.exe")) GTEST_SKIP() << wt::g_bin << " is not an installed copy";
    ASSERT_TRUE(Exists("halvora.exe") && Exists("halvstop.exe")) << wt::g_bin;
    // The rights each program asks for, read from the installed binaries.
    EXPECT_EQ(ManifestLevel(wt::g_bin + "halvora.exe"), "highestAvailable");
    EXPECT_EQ(ManifestLevel(wt::g_bin + "halvstop.exe"), "highestAvailable");
    EXPECT_EQ(ManifestLevel(wt::g_bin + "qorwarn.exe"), "asInvoker");

    // The session has started (wineboot): nothing but the task starts it now.
    wt::Pump(1500);
    EXPECT_EQ(wt::TopWindow(nullptr, wt::kTrayTitle), nullptr) << "started by something else than the task";
    EXPECT_TRUE(TaskRegistered(L"Halvora"));
    const std::string xml = TaskDefinition();
    ASSERT_FALSE(xml.empty());
    // For whoever logs on (Users), with the highest rights the user has, for
    // as long as it runs, on battery power too.
    EXPECT_EQ(Element(xml, "GroupId"), "S-1-5-32-545");
    EXPECT_EQ(Element(xml, "RunLevel"), "HighestAvailable");
    EXPECT_EQ(Element(xml, "ExecutionTimeLimit"), "PT0S");
    EXPECT_EQ(Element(xml, "DisallowStartIfOnBatteries"), "false");
    EXPECT_EQ(Element(xml, "StopIfGoingOnBatteries"), "false");

    wt::Process byTask;
    ASSERT_TRUE(LogOn(xml, byTask)) << xml;
    ASSERT_TRUE(wt::WaitFor([&] { return wt::WindowOf(byTask.Id(), nullptr, wt::kTrayTitle) != nullptr; }, 30000))
        << "halvora did not start at log-on";

    wt::Process uninstaller;
    ASSERT_TRUE(uninstaller.Start("uninstall.exe", "/S"));
    ASSERT_TRUE(uninstaller.WaitExit(30000));
    EXPECT_EQ(uninstaller.ExitCode(), 0u);
    // It hands over to a copy of itself, which stops halvora and deletes the files.
    EXPECT_TRUE(wt::WaitFor([] { return !Exists("halvora.exe") && !Exists("uninstall.exe"); }, 30000));
    EXPECT_EQ(wt::TopWindow(nullptr, wt::kTrayTitle), nullptr);
    EXPECT_TRUE(byTask.WaitExit(5000));
    EXPECT_FALSE(TaskRegistered(L"Halvora"));
}

}  // namespace
