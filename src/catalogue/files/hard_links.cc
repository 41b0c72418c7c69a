#include "catalogue/files/hard_links.h"

#include <sys/stat.h>

namespace indicizza {

std::optional<std::string> hardLinkWarning(const std::string& fileName) {
  struct stat status {};
  if (::stat(fileName.c_str(), &status) != 0 || status.st_nlink <= 1) return std::nullopt;
  return "Attenzione: " + fileName + " ha " + std::to_string(status.st_nlink) +
         " collegamenti fisici: l'indicizzatore lo sostituisce con un file nuovo, e gli altri "
         "nomi restano al file di prima";
}

}  // namespace indicizza
