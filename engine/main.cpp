#include "EngineMain.h"

int main(int argc, char** argv) {
    return zeb::engine::runEngine(argc, argv);
}
