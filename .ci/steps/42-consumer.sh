# A project using the moved installation through find_package(darurov) and darurov_generate,
# with Ninja and with Make.
tests/consumer/check.sh "$CI_SCRATCH/moved/usr" "$CI_SCRATCH/consumer-ninja" Ninja
tests/consumer/check.sh "$CI_SCRATCH/moved/usr" "$CI_SCRATCH/consumer-make" "Unix Makefiles"
