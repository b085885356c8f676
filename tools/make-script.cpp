// make-script N OUT.vare [SEED]: writes a large valid script for benchmarks and tests.

#include "ScriptGenerator.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "Utilisation : make-script NOMBRE_DE_PHRASES SORTIE.vare [GRAINE]\n");
        return 1;
    }
    CVarE script;
    generateScript(script, std::atoi(argv[1]), argc > 3 ? unsigned(std::atoi(argv[3])) : 1u);
    if (!script.store(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "Impossible d'écrire le fichier « %s ».\n", argv[2]);
        return 1;
    }
    return 0;
}
