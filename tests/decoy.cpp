// Stands at the first word of a helper path that contains a blank: if an unquoted
// command line ever starts it, it leaves a mark.
#include <cstdlib>
#include <fstream>
#include <string>

int main() {
    const char* folder = std::getenv("NRWH_LOG_DIR");
    if (folder != nullptr) std::ofstream(std::string(folder) + "/decoy-ran") << "ran\n";
    return 9;
}
