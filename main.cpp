#include <cstdio>

int main()
{
    std::puts("ｱﾗｰﾑ時計: the program has no windows yet.");
    return 1;
}
