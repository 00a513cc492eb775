// svfplay: plays an SVF file through the player library on a controller.
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "app.h"

int main(int argc, char** argv) {
    try {
        return svfplay::RunSvfplay(std::vector<std::string>(argv, argv + argc), std::cout,
                                   std::cerr);
    } catch (const std::bad_alloc&) {
        std::cerr << "svfplay: error: out of memory\n";
    } catch (const std::exception& e) {
        std::cerr << "svfplay: error: " << e.what() << '\n';
    }
    return svfplay::kExitError;
}
