// A stand-in program for the end-to-end update test, built twice with two version records.
//   qm-standin update   checks the update server named in its settings file, downloads every
//                       newer file, writes the batch file, starts the interpreter and ends;
//   qm-standin          writes the version record of its own file into standin-ran.txt.
#include <unistd.h>

#include <iostream>
#include <string>

#include "platform/ConfigPaths.h"
#include "platform/Files.h"
#include "update/FileVersion.h"
#include "update/SelfReplace.h"
#include "update/UpdateFetch.h"
#include "update/UpdateList.h"

int main(int argc, char** argv) {
  using namespace qm;
  const std::string exe = ExecutablePath();
  const std::string folder = exe.substr(0, exe.rfind('/') + 1);
  const std::string program = ProgramNameOf(exe);
  if (argc < 2) {
    std::uint32_t version[2] = {0, 0};
    ReadVersionRecord(exe, version);
    return WriteWholeFile(folder + "standin-ran.txt", FormatVersion(version)) ? 0 : 1;
  }
  if (std::string(argv[1]) != "update") return 2;
  THttpClient client;
  ConfigureUpdateClient(client, {});
  TUpdateServers servers = ConfiguredUpdateServers(folder + program + ".ini");
  servers.Second = servers.First;  // the test serves only on 127.0.0.1
  std::string list;
  if (!FetchUpdateList(client, servers, list)) {
    std::cout << "no update list\n";
    return 1;
  }
  if (!BuildUpdateList(list, program, folder)) {
    std::cout << "nothing newer\n";
    return 0;
  }
  for (TUpdateList& item : UpdateItems)
    if (item.IsNewer) HeadUpdateItem(client, item);
  client.FollowRedirects = true;
  for (TUpdateList& item : UpdateItems)
    if (item.IsNewer) DownloadUpdateItem(client, item, folder);
  WriteSelfReplaceBatch(folder);
  if (!StartSelfReplace(folder, getpid(), folder + "selfupdate.log")) return 1;
  std::cout << "replacing\n";
  return 0;
}
