#include <cstdio>

int main() {
    std::fputs("kestrun-score: not ready yet\n", stderr);
    return 1;
}
