#include "ftp/InetCodes.h"

#include <utility>

namespace inet {

std::string ErrorTextForCode(int32_t code) {
  static const std::pair<int32_t, const char*> kTexts[] = {
      {12001, "!No more handles could be generated at this time"},
      {12002, "!Request timed out"},
      {12003, "!Extended error returned from server"},
      {12004, "!An internal error has occurred"},
      {12005, "!Invalid URL"},
      {12006, "!URL scheme not recognized or supported"},
      {12007, "!Server name could not be resolved"},
      {12008, "!Requested protocol could not be located"},
      {12009, "!A request specified an invalid option value"},
      {12010, "!Length of an option supplied is incorrect for the type of option specified"},
      {12011, "!Request option can not be set, only queried"},
      {12012, "!The Win32 Internet support is being shutdown or unloaded"},
      {12013, "!Request denied, incorrect user name"},
      {12014, "!Request denied, incorrect password"},
      {12015, "!Request to connect and login failed"},
      {12016, "!Invalid request operation"},
      {12017, "!Operation cancelled"},
      {12018, "!Incorrect handle supplied for this operation"},
      {12019, "!Request denied: Incorrect handle state"},
      {12020, "!Request can not be made via a proxy"},
      {12021, "!A required registry value could not be located"},
      {12022, "!Required registry value is an incorrect type or has an invalid value"},
      {12023, "!Direct network access cannot be made"},
      {12024, "!Asynchronous request failed: zero context value"},
      {12025, "!Asynchronous request failed: incorrect or missing callback function"},
      {12026, "!Operation failed: pending requests"},
      {12027, "!Invalid request format"},
      {12028, "!Requested item could not be located"},
      {12029, "!Connection attempt failed"},
      {12030, "!Connection has been terminated"},
      {12031, "!Connection has been reset"},
      {12033, "!Invalid proxy request"},
      {12036, "!Request failed: handle already exists"},
      // TLS, which the server offers and the session then demands: a certificate that cannot be verified,
      // or a secure channel that cannot be set up, fails the call with a text of its own.
      {12045, "!The server's certificate could not be verified"},
      {12157, "!The secure channel to the server could not be set up"},
      {12163, "!Connection failed. Internet Explorer might have been set to 'Work Offline'"},
  };
  for (const auto& [known, text] : kTexts) {
    if (known == code) return text;
  }
  return "!Unknown error: Error details not available";
}

}  // namespace inet
