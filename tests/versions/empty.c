/* The code of a file that only carries resources. */
int kavro_version_test_file;
