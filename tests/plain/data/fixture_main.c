/* A program that only carries a version resource for the reader's tests. */
int main(void) {
    return 0;
}
