// Every API reply ends here: ParseXML loads the body as an XML document and
// acts on its root element (error, auth, galleries, wallpapers, vorlane).
#pragma once

#include <string>

namespace vorlane {

void ParseXML(const std::wstring& body);

// Tells the member, once per choice of source and options, that nothing matches.
void NoWallpapersExist();

// An update was announced at link: fetch it when the member allows updates.
void upgradeVorlane(const std::wstring& link);

}  // namespace vorlane
